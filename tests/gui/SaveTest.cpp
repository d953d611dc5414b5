#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "WindowFixture.h"
#include "window/CaptionButtons.h"
#include "base/SysTempDir.h"
#include "output/JpegWriter.h"

using namespace tsy;
using namespace tsy::test;

namespace {
const QString kKey = QStringLiteral("Brannoc-Software/Tessaly/");
}

class SaveTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cancelIsAbortedWithoutBeep();
    void bmpHoldsTheResultPixels();
    void jpegQualityEntries_data();
    void jpegQualityEntries();
    void lastFormatAndQualityAreProposedNextTime();
    void namesThisProgramCannotWriteAreReported();
    void aStaleFileIsNotASuccess();
    void failedJpegWriteShowsTheWriterText();
    void pngThroughTheRealOptimiserAndScript();

private:
    void Prepare(Window& t);
    QStringList Statuses(Window& t);
    QTemporaryDir dir_;
    QString temp_;
    QStringList statuses_;
};

void SaveTest::initTestCase() {
    QVERIFY(dir_.isValid());
    // A temporary directory whose path has blanks and a quote in it.
    temp_ = dir_.filePath("temp dir 'x'");
    QVERIFY(QDir().mkpath(temp_));
    QFile::setPermissions(temp_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("TEMP", temp_.toLocal8Bit());
    QCOMPARE(QString::fromStdString(SysTempDir()), temp_ + "/");
}

void SaveTest::Prepare(Window& t) {
    t.Feed(Columns(321, 123), Uniform(321, 123, QColor(10, 120, 230)),
           dir_.filePath("IMG_0042.JPG"));
    statuses_.clear();
    QObject::connect(&t.w, &QWidget::windowTitleChanged, [this, &t] { statuses_ << t.Status(); });
}

static void ComparePixels(const QImage& file, const PictureBuffer& result) {
    QCOMPARE(file.size(), QSize(result.width(), result.height()));
    for (int y = 0; y < file.height(); ++y)
        for (int x = 0; x < file.width(); ++x)
            QCOMPARE(file.pixel(x, y) & 0xFFFFFF, result.pixel(x, y) & 0xFFFFFF);
}

void SaveTest::cancelIsAbortedWithoutBeep() {
    Window t;
    Prepare(t);
    QTest::mouseClick(t.w.controls().cSave, Qt::LeftButton);
    QCOMPARE(t.Status(), QStringLiteral("Aborted!"));
    QCOMPARE(t.fp.dialogs.beeps, 0);
    QVERIFY(!t.fp.settings.values.contains(kKey + "SaveFormat"));
    QVERIFY(t.w.controls().cSave->isEnabled());
    const FileDialogRequest& r = t.fp.dialogs.fileRequests.value(0);
    QVERIFY(r.save);
    QCOMPARE(QString::fromStdString(r.title), QStringLiteral("Save Image as ..."));
    QCOMPARE(r.filters.size(), size_t(3));
    QCOMPARE(r.selectedFilter, 1);  // PNG, the stored default
    QCOMPARE(QString::fromStdString(r.initialDir), dir_.path() + "/");
    QCOMPARE(QString::fromStdString(r.initialName), QStringLiteral("IMG_0042_3D-RC"));
    QCOMPARE(QString::fromStdString(r.defaultSuffix), QStringLiteral("png"));
}

void SaveTest::bmpHoldsTheResultPixels() {
    Window t;
    Prepare(t);
    const QString path = dir_.filePath("out.BMP");
    t.fp.dialogs.fileAnswers << path;
    QTest::mouseClick(t.w.controls().cSave, Qt::LeftButton);
    QCOMPARE(statuses_.mid(statuses_.size() - 2),
             QStringList({"Saving BMP Image ...", "Image successfully saved!"}));
    QCOMPARE(t.fp.settings.values[kKey + "SaveFormat"], QStringLiteral(".bmp"));
    ComparePixels(QImage(path), t.w.anaglyph());
}

void SaveTest::jpegQualityEntries_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("quality");  // 0: aborted
    QTest::addColumn<QString>("stored");
    QTest::newRow("above 100") << "150" << 100 << "100";
    QTest::newRow("number then letters") << "85abc" << 85 << "85";
    QTest::newRow("half to even") << "72.5" << 72 << "72.5";
    QTest::newRow("zero") << "0" << 0 << "";
    QTest::newRow("negative") << "-5" << 0 << "";
    QTest::newRow("letters") << "abc" << 0 << "";
    QTest::newRow("cancel") << "" << 0 << "";
}

void SaveTest::jpegQualityEntries() {
    QFETCH(QString, entry);
    QFETCH(int, quality);
    QFETCH(QString, stored);
    Window t;
    Prepare(t);
    const QString path = dir_.filePath("q.jpg");
    QFile::remove(path);
    t.fp.dialogs.fileAnswers << path;
    t.fp.dialogs.inputAnswers << entry;
    QTest::mouseClick(t.w.controls().cSave, Qt::LeftButton);

    const auto& call = t.fp.dialogs.inputCalls.value(0);
    QCOMPARE(call.prompt, QStringLiteral("  Set JPEG Quality Level  (1-100, Default=95):"));
    QCOMPARE(call.title, QStringLiteral(" Saving JPG Image ..."));
    QCOMPARE(call.proposal, QStringLiteral("95"));
    QCOMPARE(call.topLeft, t.w.frameGeometry().topLeft() + QPoint(32, 48));
    QCOMPARE(t.fp.settings.values[kKey + "SaveFormat"], QStringLiteral(".jpg"));
    if (quality == 0) {
        QCOMPARE(t.Status(), QStringLiteral("Aborted!"));
        QCOMPARE(t.fp.dialogs.beeps, 1);
        QVERIFY(!QFile::exists(path));
        QVERIFY(!t.fp.settings.values.contains(kKey + "JPG.Quality"));
        return;
    }
    QCOMPARE(t.Status(), QStringLiteral("Image successfully saved!"));
    QCOMPARE(t.fp.settings.values[kKey + "JPG.Quality"], stored);
    // The same encoder at the expected quality gives the same bytes.
    const QString expected = dir_.filePath("expected.jpg");
    QCOMPARE(SaveJpeg(t.w.anaglyph(), expected.toStdString(), quality), 0);
    QFile a(path), b(expected);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QVERIFY(a.readAll() == b.readAll());
}

void SaveTest::lastFormatAndQualityAreProposedNextTime() {
    Window t;
    Prepare(t);
    t.fp.dialogs.fileAnswers << dir_.filePath("first.jpg");
    t.fp.dialogs.inputAnswers << "70";
    QTest::mouseClick(t.w.controls().cSave, Qt::LeftButton);
    QTest::mouseClick(t.w.controls().OpGlass[1], Qt::LeftButton);
    t.fp.dialogs.fileAnswers << dir_.filePath("second.jpg");
    t.fp.dialogs.inputAnswers << "";
    QTest::mouseClick(t.w.controls().cSave, Qt::LeftButton);
    QCOMPARE(t.fp.dialogs.inputCalls.value(1).proposal, QStringLiteral("70"));
    const FileDialogRequest& r = t.fp.dialogs.fileRequests.value(1);
    QCOMPARE(QString::fromStdString(r.initialName), QStringLiteral("IMG_0042_3D-GM"));
    QCOMPARE(QString::fromStdString(r.defaultSuffix), QStringLiteral("jpg"));
    QCOMPARE(r.selectedFilter, 0);
}

void SaveTest::namesThisProgramCannotWriteAreReported() {
    Window t;
    Prepare(t);
    t.fp.settings.values[kKey + "SaveFormat"] = ".bmp";
    for (const char* name : {"x.jpeg", "x.gif", "noextension"}) {
        t.fp.dialogs.fileAnswers << dir_.filePath(name);
        QTest::mouseClick(t.w.controls().cSave, Qt::LeftButton);
        QCOMPARE(t.Status(), QStringLiteral("Image NOT saved!"));
        QVERIFY(!QFile::exists(dir_.filePath(name)));
        QCOMPARE(t.fp.settings.values[kKey + "SaveFormat"], QStringLiteral(".bmp"));
    }
    QCOMPARE(t.fp.dialogs.beeps, 3);
}

void SaveTest::aStaleFileIsNotASuccess() {
    Window t;  // fake processes: the optimiser never runs
    Prepare(t);
    t.fp.processes.printed = {"7%", "not a number%", "40%", "100%"};
    t.fp.processes.onRun = [&](const QString&, const QStringList&) {
        QVERIFY(!t.w.controls().cSave->isEnabled());
    };
    const QString path = dir_.filePath("stale.png");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("an older picture");
    }
    t.fp.dialogs.fileAnswers << path;
    QTest::mouseClick(t.w.controls().cSave, Qt::LeftButton);
    QCOMPARE(t.Status(), QStringLiteral("Image NOT saved!"));
    QCOMPARE(t.fp.dialogs.beeps, 1);
    QCOMPARE(QFileInfo(path).size(), qint64(16));
    // The script was written and handed to the shell.
    QCOMPARE(t.fp.processes.runs.size(), 1);
    QCOMPARE(t.fp.processes.runs[0].value(0), QStringLiteral("/bin/sh"));
    QCOMPARE(t.fp.processes.runs[0].value(1), temp_ + "/TSY-PNG.BAT");
    QVERIFY(QFile::exists(temp_ + "/PNGOUT.EXE"));
    QVERIFY(QFileInfo(temp_ + "/PNGOUT.EXE").isExecutable());
    QVERIFY(statuses_.contains("Compressing PNG Image, please wait ..."));
    QVERIFY(statuses_.contains("Compressing PNG Image, please wait ... 40%"));
    QVERIFY(!statuses_.contains("Compressing PNG Image, please wait ... not a number%"));
    for (const char* f : {"/TSY-PNG.BAT", "/PNGOUT.EXE", "/TSY-TEMP.BMP"})
        QFile::remove(temp_ + f);
}

void SaveTest::failedJpegWriteShowsTheWriterText() {
    Window t;
    Prepare(t);
    t.fp.dialogs.fileAnswers << dir_.filePath("missing folder/out.jpg");
    t.fp.dialogs.inputAnswers << "90";
    QTest::mouseClick(t.w.controls().cSave, Qt::LeftButton);
    QCOMPARE(t.fp.dialogs.messages.size(), 1);
    QCOMPARE(t.fp.dialogs.messages[0].text,
             QStringLiteral("Speicherung des Bildes fehlgeschlagen. GDI+ Error:1000"));
    QCOMPARE(t.Status(), QStringLiteral("Image NOT saved!"));
    QVERIFY(t.w.isEnabled());
}

void SaveTest::pngThroughTheRealOptimiserAndScript() {
    Window t(&QtPlatform().processes);
    Prepare(t);
    const QString path = dir_.filePath("pair 'one' $HOME.png");
    t.fp.dialogs.fileAnswers << path;
    QTest::mouseClick(t.w.controls().cSave, Qt::LeftButton);
    // The optimiser's percentages follow the plain caption, rising to 100.
    const QString compressing = QStringLiteral("Compressing PNG Image, please wait ...");
    const qsizetype first = statuses_.indexOf(compressing);
    QVERIFY(first > 0);
    QCOMPARE(statuses_[first - 1], QStringLiteral("Saving Temporary Image ..."));
    QCOMPARE(statuses_.last(), QStringLiteral("Image successfully saved!"));
    const QStringList shown = statuses_.mid(first + 1, statuses_.size() - first - 2);
    QVERIFY(!shown.isEmpty());
    int last = -1;
    for (const QString& s : shown) {
        QVERIFY2(s.startsWith(compressing + " ") && s.endsWith('%'), qPrintable(s));
        const int percent = s.mid(compressing.size() + 1).chopped(1).toInt();
        QVERIFY(percent > last);
        last = percent;
    }
    QCOMPARE(last, 100);
    QCOMPARE(t.fp.settings.values[kKey + "SaveFormat"], QStringLiteral(".png"));
    ComparePixels(QImage(path, "PNG"), t.w.anaglyph());
    for (const char* f : {"/TSY-PNG.BAT", "/PNGOUT.EXE", "/TSY-TEMP.BMP"})
        QVERIFY2(!QFile::exists(temp_ + f), f);
}

QTEST_MAIN(SaveTest)
#include "SaveTest.moc"
