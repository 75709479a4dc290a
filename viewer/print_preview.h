// The print preview window: a frame with a status line around a client that holds the page view, with the
// page, zoom, goto-page and printable-area commands, their keys and the preview menu.
#pragma once

#include <memory>
#include <string>

#include "platform/framework/frame.h"
#include "viewer/score_preview.h"

class TQSMPrintData;

// Commands of the preview.
enum : UINT {
    CM_PREVIEW_REPAINT = 200,
    CM_PREVIEW_START = 201,
    CM_PREVIEW_LAST = 202,
    CM_PREVIEW_NEXT = 203,
    CM_PREVIEW_PREVIOUS = 204,
    CM_PREVIEW_ZOOMIN = 205,
    CM_PREVIEW_ZOOMOUT = 206,
    CM_PREVIEW_GOTO = 207,
    CM_PREVIEW_MARGIN = 208,
    CM_PREVIEW_MENU = 209,
};

#define IDD_GOTOPAGE 525

class TQSMPrintPreviewClient : public TWindow {
public:
    TQSMPrintPreviewClient(TWindow* parent, TQSMPrintData* data, int startIndex);
    const char* GetClassName() override { return "QSMPrintPreviewClient"; }
    void SetupWindow() override;

    TScorePreviewControl* GetControl() const { return Control; }

    void CmRepaint();
    void CmStart();
    void CmLast();
    void CmNext();
    void CeNext(TCommandEnabler& ce);
    void CmPrevious();
    void CePrevious(TCommandEnabler& ce);
    void CmZoomIn();
    void CmZoomOut();
    void CmGoto();
    void CmMargin();
    void CeMargin(TCommandEnabler& ce);
    void EvSize(UINT sizeType, const TSize& size);
    LRESULT EvMouseWheelMsg(WPARAM wp, LPARAM lp);
    LRESULT EvContextMenuMsg(WPARAM wp, LPARAM lp);
    DECLARE_RESPONSE_TABLE(TQSMPrintPreviewClient);

private:
    TQSMPrintData* Data;
    TScorePreviewControl* Control;
};

class TQSMPrintPreviewFrame : public TFrameWindow {
public:
    TQSMPrintPreviewFrame(TWindow* parent, const char* title, TQSMPrintPreviewClient* client);
    const char* GetClassName() override { return "QSMPrintPreview"; }
    void SetupWindow() override;
    bool IdleAction(LONG idleCount) override;

    // The status text: "Page %d, Zoom %d/%d" and ", Justify Disabled" with the printer-margin marks on;
    // shown only when it changed.
    void UpdateStatus();
    const std::string& GetStatusText() const { return StatusText; }
    void ShowPreviewMenu(POINT screen);

    void EvSize(UINT sizeType, const TSize& size);
    // Closing keeps the placement in the application object for the next preview; Esc closes.
    void EvClose();
    void CmCancel();
    LRESULT EvAppCommand(WPARAM wp, LPARAM lp);
    void CmMenu();
    DECLARE_RESPONSE_TABLE(TQSMPrintPreviewFrame);

private:
    TQSMPrintPreviewClient* Client;
    HWND Status = nullptr;
    int LastValues[4] = {-1, -1, -1, -1};
    std::string StatusText;
};

// The Print Preview command: the preview of the current score on the chosen printer, from the navigation
// index; runs until the preview is closed while the main window waits.
void CmPrintPreview(TWindow* parent, int startIndex);
// The status text of a page view.
std::string PreviewStatusText(int displayedPage, int zoomLevel, int zoomCount, bool justifyDisabled);
