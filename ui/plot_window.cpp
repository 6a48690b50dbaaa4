// The Weibull plot window: a thin GDI renderer of the portable layout
// (plot/plot_layout.h), drawn into a memory bitmap and copied to the screen
// in one piece, so that resizing does not flicker.
#include "ui/plot_window.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "plot/plot_layout.h"
#include "plot/run_plot.h"
#include "run/analysis_state.h"
#include "ui/owned_window.h"
#include "ui/window_handles.h"

namespace {

const char noResultsText[] = "No results to plot: the last run did not fit the data.";
const char fontName[] = "Arial";

// Opening with the SVG's client size; no background brush: the paint covers
// the whole client area.
const OwnedWindowKind plotKind = {"TarquelPlotClass", "Weibull plot", plotWindowProc, nullptr, {720, 540}, {320, 240}};

struct PlotWindowState {
    HWND window;      // the open window, nullptr while closed
    bool hasModel;    // the last run left a sample, so `model` holds its plot
    PlotModel model;  // the picture, rebuilt when the window opens and when a run ends
};

PlotWindowState plotState;

void rebuildModel() {
    plotState.hasModel = analysisState.sampleLoaded == 1;
    plotState.model = PlotModel{};
    if (!plotState.hasModel) return;
    plotState.model = buildPlotModel(plotInputOfRun(analysisState.lastRun));
}

int pixel(double value) { return static_cast<int>(std::lround(value)); }

COLORREF colourOf(PlotColour c) { return RGB(c.red, c.green, c.blue); }

// Fonts by pixel height, created on first use during one paint.
class FontCache {
public:
    ~FontCache() {
        for (const Entry& entry : entries_) DeleteObject(entry.font);
    }
    HFONT fontOf(double size) {
        const int height = pixel(size);
        for (const Entry& entry : entries_) {
            if (entry.height == height) return entry.font;
        }
        HFONT font = CreateFontA(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, fontName);
        entries_.push_back({height, font});
        return font;
    }

private:
    struct Entry {
        int height;
        HFONT font;
    };
    std::vector<Entry> entries_;
};

// Selects a pen (none for width 0) and a brush (none when not filled) for
// the lifetime of the object.
class PenAndBrush {
public:
    PenAndBrush(HDC dc, const PlotShape& s) : dc_(dc) {
        pen_ = s.strokeWidth > 0 ? CreatePen(PS_SOLID, std::max(1, pixel(s.strokeWidth)), colourOf(s.stroke)) : nullptr;
        brush_ = s.filled ? CreateSolidBrush(colourOf(s.fill)) : nullptr;
        oldPen_ = SelectObject(dc, pen_ != nullptr ? static_cast<HGDIOBJ>(pen_) : GetStockObject(NULL_PEN));
        oldBrush_ = SelectObject(dc, brush_ != nullptr ? static_cast<HGDIOBJ>(brush_) : GetStockObject(NULL_BRUSH));
    }
    ~PenAndBrush() {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
        if (pen_ != nullptr) DeleteObject(pen_);
        if (brush_ != nullptr) DeleteObject(brush_);
    }
    PenAndBrush(const PenAndBrush&) = delete;
    PenAndBrush& operator=(const PenAndBrush&) = delete;

private:
    HDC dc_;
    HPEN pen_;
    HBRUSH brush_;
    HGDIOBJ oldPen_;
    HGDIOBJ oldBrush_;
};

void drawText(HDC dc, const PlotShape& s, FontCache& fonts) {
    const UINT alignment = s.anchor == TextAnchor::middle ? TA_CENTER
                           : s.anchor == TextAnchor::end  ? TA_RIGHT
                                                          : TA_LEFT;
    HGDIOBJ oldFont = SelectObject(dc, fonts.fontOf(s.fontSize));
    SetTextAlign(dc, alignment | TA_BASELINE);
    SetTextColor(dc, colourOf(s.fill));
    TextOutA(dc, pixel(s.x1), pixel(s.y1), s.text.c_str(), static_cast<int>(s.text.size()));
    SelectObject(dc, oldFont);
}

void drawShape(HDC dc, const PlotShape& s, FontCache& fonts) {
    switch (s.kind) {
        case ShapeKind::line: {
            const PenAndBrush tools(dc, s);
            MoveToEx(dc, pixel(s.x1), pixel(s.y1), nullptr);
            LineTo(dc, pixel(s.x2), pixel(s.y2));
            break;
        }
        case ShapeKind::circle: {
            // An outline of the fill colour, so the disc is as wide as in the SVG.
            PlotShape disc = s;
            disc.stroke = s.fill;
            disc.strokeWidth = 1;
            const PenAndBrush tools(dc, disc);
            Ellipse(dc, pixel(s.x1 - s.x2), pixel(s.y1 - s.x2), pixel(s.x1 + s.x2), pixel(s.y1 + s.x2));
            break;
        }
        case ShapeKind::rectangle: {
            // GDI leaves out the right and bottom edges; the SVG draws them.
            const PenAndBrush tools(dc, s);
            Rectangle(dc, pixel(s.x1), pixel(s.y1), pixel(s.x2) + 1, pixel(s.y2) + 1);
            break;
        }
        case ShapeKind::text: drawText(dc, s, fonts); break;
        case ShapeKind::polyline: {
            const PenAndBrush tools(dc, s);
            std::vector<POINT> points;
            for (const PlotPoint& p : s.path) points.push_back({pixel(p.x), pixel(p.y)});
            if (points.size() >= 2) Polyline(dc, points.data(), static_cast<int>(points.size()));
            break;
        }
    }
}

void drawPicture(HDC dc, int width, int height) {
    SetBkMode(dc, TRANSPARENT);
    FontCache fonts;
    if (!plotState.hasModel) {
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        PlotShape note{};
        note.kind = ShapeKind::text;
        note.x1 = width / 2.0;
        note.y1 = height / 2.0;
        note.fontSize = 13;
        note.anchor = TextAnchor::middle;
        note.text = noResultsText;
        drawText(dc, note, fonts);
        return;
    }
    for (const PlotShape& shape : layoutPlot(plotState.model, width, height)) drawShape(dc, shape, fonts);
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    const int width = std::max(1, static_cast<int>(client.right));
    const int height = std::max(1, static_cast<int>(client.bottom));
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    drawPicture(memory, width, height);
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(window, &ps);
}

}  // namespace

void openPlotWindow() {
    if (raiseOwnedWindow(plotState.window)) return;
    rebuildModel();
    plotState.window = createOwnedWindow(plotKind);
    if (plotState.window != nullptr) showOwnedWindow(plotState.window);
}

void refreshPlotWindow() {
    if (plotState.window == nullptr) return;
    rebuildModel();
    InvalidateRect(plotState.window, nullptr, FALSE);
}

HWND plotWindow() { return plotState.window; }

const PlotModel* shownPlotModel() { return plotState.hasModel ? &plotState.model : nullptr; }

LRESULT CALLBACK plotWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: paint(window); return 0;
        case WM_ERASEBKGND: return 1;  // the paint covers everything
        case WM_SIZE: InvalidateRect(window, nullptr, FALSE); return 0;
        case WM_GETMINMAXINFO: limitOwnedWindow(plotKind, lParam); return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                DestroyWindow(window);
                return 0;
            }
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_DESTROY: plotState.window = nullptr; return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
