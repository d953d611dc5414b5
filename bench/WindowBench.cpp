// The window's own work on a 24 MP pair, without a display: one rebuild
// (what a slider move costs), one load of an MPO file (click to "Ready!") and
// one JPEG save.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstring>

#include "AnaglyphScene.h"
#include "WindowFixture.h"
#include "TestMpo.h"
#include "window/FrmMain.h"
#include "render/BlendPipeline.h"

namespace {

constexpr int kW = 6000;
constexpr int kH = 4000;

struct Fixture {
    tsy::test::FakePlatform fp;
    tsy::FrmMain w{fp.platform};
    QTemporaryDir dir;
    QString mpo;

    Fixture() {
        w.Form_Load();
        tsy::PictureBuffer left, right;
        tsy::bench::MakeAnaglyphScene(left, kW, kH, 1);
        tsy::bench::MakeAnaglyphScene(right, kW, kH, 2);
        w.TakePair(std::move(left), std::move(right));
        w.SetScroll();
        w.PicBlend();
        w.EnableButtons(true);
        mpo = dir.filePath("pair.mpo");
        WriteMpo();
    }

    // Two camera-like JPEG views with an MP index, as a stereo camera writes them.
    void WriteMpo() {
        std::vector<std::uint8_t> views[2];
        tjhandle tj = tjInitCompress();
        for (int i = 0; i < 2; ++i) {
            const tsy::PictureBuffer& view = i == 0 ? w.image1() : w.image2();
            unsigned char* jpeg = nullptr;
            unsigned long size = 0;
            tjCompress2(tj, view.bits(), kW, int(view.stride()), kH, TJPF_BGRX, &jpeg, &size,
                        TJSAMP_422, 95, 0);
            views[i].assign(jpeg, jpeg + size);
            tjFree(jpeg);
        }
        tjDestroy(tj);
        const std::vector<std::uint8_t> file = tsy::test::JoinAsMpo(views[0], views[1]);
        QFile f(mpo);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(file.data()), qint64(file.size()));
    }
};

// Never destroyed: a window must not outlive the QApplication in main().
Fixture& Get() {
    static Fixture* f = new Fixture;
    return *f;
}

void BM_Rebuild(benchmark::State& state) {
    Fixture& f = Get();
    int brightness = 0;
    for (auto _ : state) {
        f.w.SetSuppressUpdates(true);
        f.w.controls().HSB->setValue(++brightness % 100);
        f.w.SetSuppressUpdates(false);
        f.w.PicBlend();
    }
    state.counters["MP"] = double(kW) * kH / 1e6;
}
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The engine alone in the same state, to see what the rest of the rebuild costs.
void BM_EngineOnly(benchmark::State& state) {
    Fixture& f = Get();
    tsy::SilentProgress quiet;
    tsy::PictureBuffer left, right, result;
    left.copyFrom(f.w.image1());
    right.copyFrom(f.w.image2());
    result.copyFrom(f.w.anaglyph());
    for (auto _ : state)
        tsy::BuildAnaglyph(left, right, result, tsy::AnaglyphSettings{}, quiet);
}
BENCHMARK(BM_EngineOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_LoadMpo(benchmark::State& state) {
    Fixture& f = Get();
    for (auto _ : state) {
        f.fp.dialogs.fileAnswers << f.mpo;
        f.w.cOpen1_Click();
    }
    if (!f.w.image2().hasImage()) state.SkipWithError("the second view was not loaded");
}
BENCHMARK(BM_LoadMpo)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The window's JPEG save of the 24 MP anaglyph at quality 95: encoding and
// putting the file in place, as the menu does it.
void BM_SaveJpeg(benchmark::State& state) {
    Fixture& f = Get();
    const QString path = f.dir.filePath("saved.jpg");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        f.fp.dialogs.fileAnswers << path;
        f.fp.dialogs.inputAnswers << QStringLiteral("95");
        state.ResumeTiming();
        f.w.controls().cSave->click();
    }
    state.counters["bytes"] = double(QFile(path).size());
}
BENCHMARK(BM_SaveJpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
