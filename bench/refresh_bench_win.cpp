// What a small change costs on canvases of several sizes, the way a script
// makes it: canvas.nbp loaded with host::PluginModule, the host played by
// host::Host. Every pair of figures is timed in alternating batches in this
// one process (bench::alternating), so a busy machine slows both alike:
//
//  - a radius-8 circle and the text "Hg" in Arial 10 on 800 x 600 and
//    1920 x 1080, each against the same on 320 x 240, without and with the
//    update (UpdateWindow on the host's object window after the call);
//  - an unchanged canvas invalidated and repainted, against the same three
//    nested windows a canvas has (the host's object window, a child in it,
//    and in that a window whose paint is one BitBlt of its update
//    rectangle) and against a bare top-level window with that paint, the
//    three timed in turn;
//  - kiv_ClearCanvas then the update, against the same two whole paints,
//    and against the nested windows writing two images of the canvas's
//    size (what a clear writes: the image and the control's copy) before
//    their paint.
//
// Output: lines "name<TAB>seconds per call" for bench/report.py.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_windows_win.h"
#include "bench/timer_win.h"
#include "host/host_win.h"

namespace {

struct Size {
    int w, h;
    std::string name() const { return std::to_string(w) + "x" + std::to_string(h); }
};
const Size SMALL{320, 240};
const Size LARGER[] = {{800, 600}, {1920, 1080}};

// One canvas on its own host window at x, y of the screen.
class Canvas {
  public:
    Canvas(host::PluginModule& plugin, host::Host& host, const Size& size, int x, int y)
        : plugin_(plugin), size_(size), name_("lienzo " + size.name()),
          windows_(x, y, size.w, size.h) {
        host.objects[name_] = windows_.object();
        bench::pump();
        host::Params create({name_.c_str(), "$FFFFFF"});
        ok_ = plugin_.execAction(1, create.data()) == 1;
        UpdateWindow(windows_.object());
        bench::pump();
        HWND canvasWindow = GetWindow(windows_.object(), GW_CHILD);
        control_ = canvasWindow ? GetWindow(canvasWindow, GW_CHILD) : nullptr;
        ok_ = ok_ && control_;
    }
    bool ok() const { return ok_; }
    const Size& size() const { return size_; }

    void circle() {
        host::Params p({name_.c_str(), "100", "100", "8", "$0000FF"});
        check(plugin_.execAction(2, p.data()));
    }
    void text() {
        host::Params p({name_.c_str(), "Hg", "60", "60", "$000000", "", "Arial,10,"});
        check(plugin_.execAction(4, p.data()));
    }
    void clear() {
        host::Params p({name_.c_str()});
        check(plugin_.execAction(3, p.data()));
    }
    void update() { UpdateWindow(windows_.object()); }
    void repaint() {
        InvalidateRect(control_, nullptr, FALSE);
        UpdateWindow(control_);
    }

  private:
    void check(int result) { ok_ = ok_ && result == 1; }

    host::PluginModule& plugin_;
    Size size_;
    std::string name_;
    bench::HostWindows windows_;
    HWND control_ = nullptr;
    bool ok_ = false;
};

void reportPair(const std::string& a, const std::string& b, const bench::PairTiming& t) {
    bench::report(a, t.first);
    bench::report(b, t.second);
}

// A change on `large` against the same on `small`, without and with the
// update; `what` names the change in the output.
template <typename Change>
void changePair(const std::string& what, Canvas& small, Canvas& large, Change change) {
    const std::string s = " " + small.size().name() + " vs " + large.size().name();
    reportPair(what + s + " small", what + s + " large",
               bench::alternating([&] { change(small); }, [&] { change(large); }));
    reportPair(what + " +update" + s + " small", what + " +update" + s + " large",
               bench::alternating(
                   [&] {
                       change(small);
                       small.update();
                   },
                   [&] {
                       change(large);
                       large.update();
                   }));
}

} // namespace

int main() {
    host::PluginModule plugin{L"canvas.nbp"};
    if (!plugin.ok()) {
        std::fprintf(stderr, "canvas.nbp did not load\n");
        return 1;
    }
    host::Host host;
    host.connect(plugin);

    // Small changes: the 320 x 240 canvas beside each larger one, on a
    // screen that holds both (./run bench makes it large enough).
    for (const Size& size : LARGER) {
        Canvas small(plugin, host, SMALL, size.w + 20, 0);
        Canvas large(plugin, host, size, 0, 0);
        if (!small.ok() || !large.ok()) {
            std::fprintf(stderr, "no canvas of %s\n", size.name().c_str());
            return 1;
        }
        changePair("circle r8", small, large, [](Canvas& c) { c.circle(); });
        changePair("text Hg", small, large, [](Canvas& c) { c.text(); });
        if (!small.ok() || !large.ok()) {
            std::fprintf(stderr, "an action failed at %s\n", size.name().c_str());
            return 1;
        }
        plugin.message(2, 0);
        bench::pump();
    }

    // Repaint and clear, each canvas size beside the same nested windows and
    // a bare window of its size, the three timed in turn.
    const Size all[] = {SMALL, LARGER[0], LARGER[1]};
    for (const Size& size : all) {
        Canvas canvas(plugin, host, size, 0, 0);
        bench::NestedWindows nested(size.w + 20, 0, size.w, size.h);
        bench::BareWindow bare(0, size.h + 20, size.w, size.h);
        if (!canvas.ok() || !nested.inner() || !bare.window()) {
            std::fprintf(stderr, "no canvas, nested or bare window of %s\n", size.name().c_str());
            return 1;
        }
        bench::pump();
        const std::string at = " " + size.name();
        const auto paint = [](HWND window) {
            return [window] {
                InvalidateRect(window, nullptr, FALSE);
                UpdateWindow(window);
            };
        };
        const std::vector<double> repaint = bench::alternatingAll(
            {[&] { canvas.repaint(); }, paint(nested.inner()), paint(bare.window())});
        bench::report("repaint unchanged" + at, repaint[0]);
        bench::report("nested windows paint" + at, repaint[1]);
        bench::report("bare window paint" + at, repaint[2]);
        // The least a clear can write before its paint: the image and the
        // control's copy of it, one image size each, the copy last.
        std::vector<uint32_t> other(static_cast<size_t>(size.w) * size.h);
        const auto writeTwiceAndPaint = [&] {
            std::fill(other.begin(), other.end(), 0xFFFFFFFFu);
            bench::keep(other.data());
            nested.innerWindow().writeImage(0xFFFFFFFFu);
            GdiFlush();
            paint(nested.inner())();
        };
        const std::vector<double> clear = bench::alternatingAll(
            {[&] {
                 canvas.clear();
                 canvas.update();
             },
             paint(nested.inner()), paint(bare.window()), writeTwiceAndPaint});
        bench::report("clear +update" + at, clear[0]);
        bench::report("nested windows paint, clear group" + at, clear[1]);
        bench::report("bare window paint, clear group" + at, clear[2]);
        bench::report("nested windows, two image writes and paint" + at, clear[3]);
        if (!canvas.ok()) {
            std::fprintf(stderr, "kiv_ClearCanvas failed at %s\n", size.name().c_str());
            return 1;
        }
        plugin.message(2, 0);
        bench::pump();
    }
    return 0;
}
