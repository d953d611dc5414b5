
#include "WindowFixture.h"
#include "output/JpegWriter.h"

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
        for (const char* name : {"x.jpeg", "x.gif", "noextension"}) {
            QVERIFY(!QFile::exists(Save(t, name)));
            QCOMPARE(t.Status(), "Image NOT saved!  (only .jpg, .png and .bmp are written)");
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
