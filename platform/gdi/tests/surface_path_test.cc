// The path PDF DCs build without cairo is the one cairo builds from the same calls: the same points on its
// grid, the same segments merged or left out, for figures full of repeated points, straight runs, turns
// back, curves that go nowhere and figures closed on their first point.
#include <gtest/gtest.h>

#include <cairo.h>

#include <random>
#include <string>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace {

// The elements of a path as text, leaving out moves that start nothing.
std::string Describe(const cairo_path_t* path) {
    std::string out;
    const cairo_path_data_t* d = path->data;
    for (int i = 0; i < path->num_data; i += d[i].header.length) {
        int next = i + d[i].header.length;
        if (d[i].header.type == CAIRO_PATH_MOVE_TO &&
            (next >= path->num_data || d[next].header.type == CAIRO_PATH_MOVE_TO))
            continue;
        static const char kNames[] = "mlch";
        out += kNames[d[i].header.type];
        for (int k = 1; k < d[i].header.length; ++k)
            out += ' ', out += std::to_string(d[i + k].point.x), out += ',',
                out += std::to_string(d[i + k].point.y);
        out += "\n";
    }
    return out;
}

struct Call {
    char op;  // m, l, c, h
    double v[6];
};

std::string ThroughCairo(const std::vector<Call>& calls, double scale, double ox, double oy) {
    cairo_surface_t* s = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, scale, scale);
    if (ox != 0 || oy != 0) cairo_translate(cr, ox, oy);
    for (const Call& c : calls) {
        switch (c.op) {
            case 'm':
                cairo_move_to(cr, c.v[0], c.v[1]);
                break;
            case 'l':
                cairo_line_to(cr, c.v[0], c.v[1]);
                break;
            case 'c':
                cairo_curve_to(cr, c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5]);
                break;
            default:
                cairo_close_path(cr);
                break;
        }
    }
    cairo_identity_matrix(cr);
    cairo_path_t* path = cairo_copy_path(cr);
    std::string out = Describe(path);
    cairo_path_destroy(path);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return out;
}

std::string ThroughSurfacePath(const std::vector<Call>& calls, double scale, double ox, double oy) {
    qsm::gdi::SurfacePath p;
    const double m[6] = {scale, 0, 0, scale, ox * scale, oy * scale};
    p.Reset(m);
    for (const Call& c : calls) {
        switch (c.op) {
            case 'm':
                p.MoveTo(c.v[0], c.v[1]);
                break;
            case 'l':
                p.LineTo(c.v[0], c.v[1]);
                break;
            case 'c':
                p.CurveTo(c.v[0], c.v[1], c.v[2], c.v[3], c.v[4], c.v[5]);
                break;
            default:
                p.ClosePath();
                break;
        }
    }
    return Describe(p.Path());
}

TEST(SurfacePathTest, BuildsTheSamePathAsCairo) {
    std::mt19937 rng(12345);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    // Coordinates from a small grid (repeats and straight runs are common), half pixels of pens, and
    // values between the grid's steps.
    auto coord = [&]() -> double {
        switch (pick(4)) {
            case 0:
                return pick(5);
            case 1:
                return pick(5) + 0.5;
            case 2:
                return pick(5) * 0.0013 + pick(3);
            default:
                return std::uniform_real_distribution<double>(-3, 8)(rng);
        }
    };
    for (int round = 0; round < 20000; ++round) {
        std::vector<Call> calls;
        int figures = 1 + pick(3);
        for (int f = 0; f < figures; ++f) {
            Call move{'m', {coord(), coord()}};
            calls.push_back(move);
            int segments = pick(6);
            Call last = move;
            for (int s = 0; s < segments; ++s) {
                Call c{};
                switch (pick(6)) {
                    case 0:  // back to the figure's start
                        c = {'l', {move.v[0], move.v[1]}};
                        break;
                    case 1:  // on the spot
                        c = {'l', {last.v[0], last.v[1]}};
                        break;
                    case 2: {
                        double x = coord(), y = coord();
                        if (pick(3) == 0)
                            c = {'c', {last.v[0], last.v[1], last.v[0], last.v[1], last.v[0], last.v[1]}};
                        else
                            c = {'c', {coord(), coord(), coord(), coord(), x, y}};
                        break;
                    }
                    default:
                        c = {'l', {coord(), coord()}};
                        break;
                }
                calls.push_back(c);
                if (c.op == 'c')
                    last = {'l', {c.v[4], c.v[5]}};
                else
                    last = c;
            }
            if (pick(2)) calls.push_back({'h', {}});
        }
        const double scale = pick(4) == 0 ? 1.0 : 2.0;
        const double ox = pick(2) ? pick(300) - 20 : 0, oy = pick(2) ? pick(300) - 20 : 0;
        ASSERT_EQ(ThroughCairo(calls, scale, ox, oy), ThroughSurfacePath(calls, scale, ox, oy))
            << "round " << round;
    }
}

}  // namespace
