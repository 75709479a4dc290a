// The log of a recording DC.
#include <cstdio>

#include "platform/gdi/gdi_internal.h"

namespace qsm::gdi {
namespace {

GdiRecord Snapshot(const DC& dc, const char* op) {
    GdiRecord r;
    r.op = op;
    if (const Pen* p = dc.st.pen) {
        r.penStyle = static_cast<int>(p->style);
        r.penWidth = p->width;
        r.penColor = p->color;
    }
    if (const Brush* b = dc.st.brush) {
        r.brushStyle = static_cast<int>(b->style);
        r.brushColor = b->color;
    }
    if (const Font* f = dc.st.font) {
        r.fontFace = f->lf.lfFaceName;
        r.fontHeight = f->lf.lfHeight;
        r.fontWeight = f->lf.lfWeight;
        r.fontItalic = f->lf.lfItalic;
        r.fontCharSet = f->lf.lfCharSet;
    }
    r.textAlign = dc.st.textAlign;
    r.textColor = dc.st.textColor;
    r.bkMode = dc.st.bkMode;
    r.rop2 = dc.st.rop2;
    r.polyFillMode = dc.st.polyFillMode;
    return r;
}

}  // namespace

void Record(DC& dc, const char* op, std::initializer_list<int32_t> args) {
    GdiRecord r = Snapshot(dc, op);
    r.args.assign(args.begin(), args.end());
    dc.records.push_back(std::move(r));
}

void RecordPoints(DC& dc, const char* op, const POINT* pts, int count) {
    GdiRecord r = Snapshot(dc, op);
    for (int i = 0; i < count; ++i) {
        r.args.push_back(pts[i].x);
        r.args.push_back(pts[i].y);
    }
    dc.records.push_back(std::move(r));
}

void RecordText(DC& dc, const char* op, std::initializer_list<int32_t> args, const char* text, int count) {
    GdiRecord r = Snapshot(dc, op);
    r.args.assign(args.begin(), args.end());
    if (text && count > 0) r.text.assign(text, static_cast<size_t>(count));
    dc.records.push_back(std::move(r));
}

void RecordWText(DC& dc, const char* op, std::initializer_list<int32_t> args, const char16_t* text,
                 int count) {
    GdiRecord r = Snapshot(dc, op);
    r.args.assign(args.begin(), args.end());
    if (text && count > 0) r.wtext.assign(text, static_cast<size_t>(count));
    dc.records.push_back(std::move(r));
}

std::string GdiRecord::ToString() const {
    std::string s = op + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) s += ",";
        s += std::to_string(args[i]);
    }
    s += ")";
    if (!text.empty()) {
        s += " \"";
        for (unsigned char c : text) {
            if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
                s += static_cast<char>(c);
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                s += buf;
            }
        }
        s += "\"";
    }
    if (!wtext.empty()) {
        s += " L\"";
        for (char16_t c : wtext) {
            if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
                s += static_cast<char>(c);
            } else {
                char buf[10];
                std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
                s += buf;
            }
        }
        s += "\"";
    }
    char buf[200];
    std::snprintf(buf, sizeof buf, " pen=%x/%d/%06X brush=%d/%06X font=%s/%d align=%u text=%06X", penStyle,
                  penWidth, penColor, brushStyle, brushColor, fontFace.c_str(), fontHeight, textAlign,
                  textColor);
    return s + buf;
}

}  // namespace qsm::gdi
