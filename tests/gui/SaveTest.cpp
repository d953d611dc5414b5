
#include <QComboBox>
#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QTimer>
#include <QProcess>

#include "TestStereoScene.h"
#include "WindowFixture.h"
#include "StereoReadBack.h"
#include "output/FileFormats.h"
#include "output/JpegWriter.h"
#include "platform/QtFileDialog.h"

namespace {

// A made-up stereo pair, photograph-like, that the layout finder takes for one.
std::pair<QImage, QImage> Views() {
    PictureBuffer left, right;
    StereoScene({320, 240}).Render(left, right);
    return {Picture(left), Picture(right)};
}

// Mean difference per channel; 255 for pictures of other sizes.
double Off(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

// Both views of a stereo file as the loader finds them, with auto layout.
std::pair<QImage, QImage> LoadedViews(const QString& path) {
    const tsy::test::ReadBack r = tsy::test::ReadStereo(path.toStdString());
    if (!r.error.empty()) qWarning("%s: %s", qPrintable(path), r.error.c_str());
    return {Picture(r.left), Picture(r.right)};
}

// The frames of a wiggle animation as the toolkit reads them.
std::pair<QImage, QImage> Frames(const QString& path) {
    QImageReader reader(path);
    const QImage first = reader.read().convertToFormat(QImage::Format_RGB32);
    return {first, reader.read().convertToFormat(QImage::Format_RGB32)};
}

}  // namespace

class SaveTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString temp_;

    // A result of known pixels named after image 1.
    Window Saving(ProcessRunner* processes = nullptr) {
        return Window(Columns(321, 123), Uniform(321, 123, QColor(10, 120, 230)),
                      dir_.filePath("IMG_0042.JPG"), processes);
    }
    // Saves as `name`, answering the quality box, if it asks, with `quality`.
    QString Save(Window& t, const QString& name, const QString& quality = {}) {
        t.fp.dialogs.fileAnswers << dir_.filePath(name);
        t.fp.dialogs.inputAnswers = QStringList{quality};
        Click(t.c.cSave);
        return dir_.filePath(name);
    }
    static QString Stored(Window& t, const char* key) {
        return t.fp.settings.values.value(kKey + key, QStringLiteral("none"));
    }

private slots:
    // The toolkit's own dialog: picking an entry proposes its name and
    // extension while the name is untouched, and the entry picked comes back.
    void theDialogTellsWhichEntryWasPicked() {
        FileDialogRequest r =
            MakeFileDialogRequest(1, dir_.filePath("a_3D-RC.jpg").toStdString(), "Save",
                                  "JPEG (*.jpg),  lossy|*.jpg|Side-by-side JPEG (*.jpg),  both "
                                  "views|*.jpg|MPO (*.mpo),  both views|*.mpo");
        r.filterNames = {"a_3D-RC", "a_SBS", "a_3D"};
        for (const auto& [pick, file] : {std::pair{1, "a_SBS.jpg"}, {2, "a_3D.mpo"}}) {
            QTimer::singleShot(0, [pick = pick] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                types->setCurrentIndex(pick);
                emit types->activated(pick);  // as a click on the entry does
                emit types->textActivated(types->itemText(pick));
                QMetaObject::invokeMethod(dialog, "accept");
            });
            int chosen = -1;
            const QString path = ShowFileDialog(nullptr, r, &chosen);
            QCOMPARE(chosen, pick);
            QCOMPARE(QFileInfo(path).fileName(), QString::fromLatin1(file));
        }
    }

    void initTestCase() {
        temp_ = dir_.filePath("temp dir 'x'");  // blanks and a quote in the path
        QVERIFY(QDir().mkpath(temp_));
        QFile::setPermissions(temp_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TEMP", temp_.toLocal8Bit());
    }

    void cancelAbortsAndTheLastSaveIsProposedNextTime() {
        Window t = Saving();
        Click(t.c.cSave);
        QVERIFY(t.Status() == "Aborted!" && t.fp.dialogs.beeps == 0 && t.c.cSave->isEnabled());
        QCOMPARE(Stored(t, "SaveFormat"), QStringLiteral("none"));
        Save(t, "first.jpg", "70");
        Click(t.c.OpGlass[1]);
        Save(t, "second.jpg");
        QCOMPARE(t.fp.dialogs.proposals, QStringList({"95", "70"}));
        // Named after image 1 and the glasses, in image 1's folder; PNG first.
        const QList<FileDialogRequest>& r = t.fp.dialogs.fileRequests;
        QCOMPARE(QString::fromStdString(r[0].initialDir), dir_.path() + "/");
        for (int i : {0, 2}) {
            QCOMPARE(r[i].selectedFilter, i ? 0 : 1);
            QCOMPARE(QString::fromStdString(r[i].initialName),
                     i ? "IMG_0042_3D-GM" : "IMG_0042_3D-RC");
            QCOMPARE(QString::fromStdString(r[i].defaultSuffix), i ? "jpg" : "png");
        }
    }

    void jpegQualityEntries() {
        const struct {
            const char *entry, *stored;
            int quality;  // 0: aborted
        } cases[] = {{"150", "100", 100},  {"85abc", "85", 85},
                     {"72.5", "72.5", 72},  // half to even
                     {"0", "none", 0},     {"-5", "none", 0},
                     {"abc", "none", 0},   {"", "none", 0}};  // cancel
        for (const auto& k : cases) {
            Window t = Saving();
            const QString path = Save(t, QStringLiteral("q%1.jpg").arg(k.entry), k.entry);
            QCOMPARE(t.fp.dialogs.proposals, QStringList("95"));
            QCOMPARE(Stored(t, "SaveFormat"), QStringLiteral(".jpg"));
            QCOMPARE(Stored(t, "JPG.Quality"), QString::fromLatin1(k.stored));
            QCOMPARE(t.fp.dialogs.beeps, k.quality ? 0 : 1);
            QCOMPARE(t.Status(), QString(k.quality ? "Image successfully saved!" : "Aborted!"));
            QCOMPARE(QFile::exists(path), k.quality != 0);
            if (k.quality == 0) continue;
            // The same encoder at the expected quality gives the same bytes.
            const QString expected = dir_.filePath("expected.jpg");
            QCOMPARE(SaveJpeg(t.w.anaglyph(), expected.toStdString(), k.quality), 0);
            QFile a(path), b(expected);
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QVERIFY(a.readAll() == b.readAll());
        }
    }

    void failuresAreReportedAndABmpHoldsTheResultPixels() {
        Window t = Saving();
        t.fp.settings.values[kKey + "SaveFormat"] = ".png";
        for (const char* name : {"x.jpeg", "x.tif", "noextension"}) {
            QVERIFY(!QFile::exists(Save(t, name)));
            QCOMPARE(t.Status(),
                     "Image NOT saved!  (only .jpg, .png, .bmp, .mpo, .jps, .gif and "
                     ".webp are written)");
            QCOMPARE(Stored(t, "SaveFormat"), ".png");
        }
        QCOMPARE(t.fp.dialogs.beeps, 3);
        // A failed write shows the writer's own text.
        Save(t, "missing folder/out.jpg", "90");
        QCOMPARE(t.fp.dialogs.messages.value(0).text,
                 QStringLiteral("Speicherung des Bildes fehlgeschlagen. GDI+ Error:1000"));
        QVERIFY(t.Status() == "Image NOT saved!" && t.w.isEnabled());
        // A folder that cannot be written: the writer's reason follows.
        Window real = Saving(&QtPlatform().processes);
        for (auto [w, name] : {std::pair{&t, "out.bmp"}, {&real, "out.png"}}) {
            Save(*w, QStringLiteral("missing folder/") + name);
            QCOMPARE(
                w->Status(),
                QStringLiteral("Image NOT saved!  (cannot write %1: No such file or directory)")
                    .arg(name));
        }
        const QString bmp = Save(t, "out.BMP");
        QVERIFY(t.Status() == "Image successfully saved!" && Stored(t, "SaveFormat") == ".bmp");
        QCOMPARE(QImage(bmp).convertToFormat(QImage::Format_RGB32), Picture(t.w.anaglyph()));
    }

    // Every stereo entry of the dialog writes the views as the window shows
    // them, left first, and is proposed again next time.
    void stereoEntriesWriteTheViews() {
        const struct {
            const char* row;
            const char* file;  // as the window proposes it next time
            double off;   // mean difference allowed per channel; swapped views differ by 37
            bool frames;  // an animation, read frame by frame
        } cases[] = {{"mpo", "pair_3D.mpo", 4, false},
                     {"jps", "pair_3D.jps", 4, false},
                     {"sbs-lr.jpg", "pair_SBS.jpg", 4, false},
                     {"sbs-lr.png", "pair_SBS.png", 0, false},
                     {"sbs-lr-half.jpg", "pair_HSBS.jpg", 10, false},
                     {"tb-lr.jpg", "pair_TB.jpg", 4, false},
                     {"tb-lr.png", "pair_TB.png", 0, false},
                     {"tb-lr-half.jpg", "pair_HTB.jpg", 10, false},
                     {"gif", "pair_wiggle.gif", 3, true},
                     {"webp", "pair_wiggle.webp", 3, true}};
        const std::vector<const FileFormat*> entries = DialogSaveFormats();
        QCOMPARE(entries.size(), 3 + std::size(cases));
        const auto pair = Views();
        for (const auto& k : cases) {
            Window t(pair.first, pair.second, dir_.filePath("pair.jpg"));
            const FileFormat* row = SaveFormatByName(k.row);
            const int entry = int(std::find(entries.begin(), entries.end(), row) - entries.begin());
            t.fp.dialogs.filterAnswers = {entry};
            const QString path = Save(t, k.file, "90");
            QVERIFY2(t.Status() == "Image successfully saved!", qPrintable(t.Status()));
            QVERIFY(t.statuses.contains("Saving " + QString::fromLatin1(row->word) + " ..."));
            QCOMPARE(t.fp.dialogs.proposals.size(), row->CodedAsJpeg() ? 1 : 0);
            QCOMPARE(Stored(t, "SaveFormat"), QString::fromLatin1(k.row));
            const auto [left, right] = k.frames ? Frames(path) : LoadedViews(path);
            const QImage want1 = Picture(t.w.image1()), want2 = Picture(t.w.image2());
            QVERIFY2(Off(left, want1) <= k.off && Off(right, want2) <= k.off,
                     qPrintable(QStringLiteral("%1: %2 %3")
                                    .arg(k.row)
                                    .arg(Off(left, want1))
                                    .arg(Off(right, want2))));
            Click(t.c.cSave);  // cancelled: only the proposal is seen
            const FileDialogRequest& next = t.fp.dialogs.fileRequests.last();
            QCOMPARE(next.selectedFilter, entry);
            QCOMPARE(QString::fromStdString(next.initialName + "." + next.defaultSuffix),
                     QString::fromLatin1(k.file));
        }
        QProcess exiftool;
        exiftool.start("exiftool", {"-a", "-MPF:all", dir_.filePath("pair_3D.mpo")});
        QVERIFY(exiftool.waitForFinished());
        QCOMPARE(QString(exiftool.readAllStandardOutput()).count("Multi-frame Disparity"), 2);
    }

    // Views moved by the offsets keep what both share: image 2's column
    // and row differ from image 1's by the offsets everywhere.
    void offsetsAreInTheSavedViews() {
        // 160 columns left: side-by-side PNG views are widened to a multiple of 8.
        Window t(Columns(167, 97), Columns(167, 97), dir_.filePath("cols.png"));
        t.c.HS->setValue(-7);
        t.c.VS->setValue(3);
        t.fp.dialogs.filterAnswers = {6};  // side by side, PNG
        const auto [left, right] = LoadedViews(Save(t, "offsets.png"));
        QCOMPARE(left.size(), QSize(167 - 7, 97 - 3));
        QCOMPARE(right.size(), left.size());
        for (int y = 0; y < left.height(); y += 5)
            for (int x = 0; x < left.width(); x += 3) {
                QCOMPARE(ColumnOf(right.pixel(x, y)) - ColumnOf(left.pixel(x, y)), -7);
                QCOMPARE(qBlue(right.pixel(x, y)) - qBlue(left.pixel(x, y)), 3);
            }
    }

    // One picture has no second view: the dialog offers the anaglyph only,
    // a remembered stereo format gives way, and a stereo name is refused.
    void aSinglePictureOffersNoStereoFile() {
        Window t(Views().first, QImage(), dir_.filePath("one.jpg"));
        t.fp.settings.values[kKey + "SaveFormat"] = "mpo";
        QVERIFY(!QFile::exists(Save(t, "one.mpo")));
        const FileDialogRequest& r = t.fp.dialogs.fileRequests[0];
        QCOMPARE(r.filters.size(), std::size_t(3));
        QCOMPARE(QString::fromStdString(r.initialName + "." + r.defaultSuffix),
                 QStringLiteral("one_3D-RC.png"));
        QCOMPARE(t.Status(), "Image NOT saved!  (only .jpg, .png and .bmp are written)");
        QCOMPARE(Stored(t, "SaveFormat"), "mpo");
    }

    // A file that cannot be put in place: the writer's reason, and nothing
    // left beside it.
    void aFailedStereoSaveLeavesNoFile() {
        Window t(Views().first, Views().second, dir_.filePath("pair.jpg"));
        const QString folder = dir_.filePath("failing");
        QVERIFY(QDir().mkpath(folder + "/taken.mpo"));  // a folder where the file would go
        Save(t, "failing/taken.mpo", "90");
        QVERIFY2(t.Status().startsWith("Image NOT saved!  (") && t.fp.dialogs.beeps == 1,
                 qPrintable(t.Status()));
        QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList("taken.mpo"));
        QVERIFY(QFileInfo(folder + "/taken.mpo").isDir());
    }

    void aStaleFileIsNotASuccess() {
        Window t = Saving();  // fake processes: the optimiser never runs
        t.fp.processes.printed = {"7%", "not a number%", "40%", "100%"};
        bool ranBusy = false;
        t.fp.processes.onRun = [&] { ranBusy = !t.c.cSave->isEnabled(); };
        const QString path = WriteFile(dir_.filePath("stale.png"), "an older picture");
        Save(t, "stale.png");
        for (const char* f : {"/TSY-PNG.BAT", "/PNGOUT.EXE", "/TSY-TEMP.BMP"})
            QFile::remove(temp_ + f);
        QVERIFY(ranBusy && t.Status() == "Image NOT saved!" && t.fp.dialogs.beeps == 1);
        QCOMPARE(QFileInfo(path).size(), qint64(16));
        const QString compressing = QStringLiteral("Compressing PNG Image, please wait ... ");
        QVERIFY(t.statuses.contains(compressing + "40%"));
        QVERIFY(!t.statuses.contains(compressing + "not a number%"));
    }

    void pngThroughTheRealOptimiserAndScript() {
        Window t = Saving(&QtPlatform().processes);
        const QString path = Save(t, "pair 'one' $HOME.png");
        // The optimiser's percentages follow the plain caption, rising to 100.
        const QString compressing = QStringLiteral("Compressing PNG Image, please wait ...");
        const qsizetype first = t.statuses.indexOf(compressing);
        QVERIFY(first > 0 && t.statuses.last() == "Image successfully saved!");
        int last = -1;
        for (const QString& s : t.statuses.mid(first + 1, t.statuses.size() - first - 2)) {
            QVERIFY2(s.startsWith(compressing + " ") && s.endsWith('%'), qPrintable(s));
            const int percent = s.mid(compressing.size() + 1).chopped(1).toInt();
            QVERIFY(percent > last);
            last = percent;
        }
        QVERIFY(last == 100 && Stored(t, "SaveFormat") == ".png");
        QCOMPARE(QImage(path, "PNG").convertToFormat(QImage::Format_RGB32),
                 Picture(t.w.anaglyph()));
        for (const char* f : {"/TSY-PNG.BAT", "/PNGOUT.EXE", "/TSY-TEMP.BMP"})
            QVERIFY2(!QFile::exists(temp_ + f), f);
    }

    // A tap on an option while the optimiser runs (the caption shows its
    // percentage) is dropped, not kept and applied once the save is over.
    void inputDuringAPngSaveIsDiscarded() {
        Window t = Saving(&QtPlatform().processes);
        bool tapped = false;
        QObject::connect(&t.w, &QWidget::windowTitleChanged, &t.w, [&] {
            if (!tapped && t.Status().endsWith('%')) {
                tapped = true;
                QueueTap(t.c.OpColor[1]);
            }
        });
        Save(t, "during.png");
        QTest::qWait(50);
        QVERIFY(tapped && t.c.OpColor[2]->isChecked() && t.blends.isEmpty());
        QCOMPARE(t.Status(), QStringLiteral("Image successfully saved!"));
    }
};

TSY_GUI_TEST(SaveTest)
#include "SaveTest.moc"
