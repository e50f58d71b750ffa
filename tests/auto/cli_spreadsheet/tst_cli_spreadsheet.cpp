// A program file taken through LibreOffice Calc, the spreadsheet the README sends users to: the
// procedure the README gives keeps every cell, and what the default import does to time values
// is refused by "dcp30 validate" instead of reaching a controller.

#include "CliSupport.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const int Columns = 26;

// The filter options of LibreOffice's text import and export: tab (9), double quote (34),
// UTF-16 (65535), from line 1; the export quotes no text cell.
QString importOptions(bool everyColumnAsText)
{
    QString options = QStringLiteral("9,34,65535,1");
    if (everyColumnAsText) {
        QStringList formats;
        for (int column = 1; column <= Columns; ++column)
            formats << QStringLiteral("%1/2").arg(column); // 2: Text
        options += QLatin1Char(',') + formats.join(QLatin1Char('/'));
    }
    return options;
}

} // namespace

class tst_CliSpreadsheet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void throughCalc_data();
    void throughCalc();

private:
    // Opens file in Calc headless with the given import and saves it as UTF-16 tab text into
    // outDir; the saved file's path, or an empty text when Calc failed.
    QString throughCalc(const QString &file, bool everyColumnAsText, const QString &outDir);

    QTemporaryDir m_dir;
    QString m_soffice;
};

void tst_CliSpreadsheet::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (m_soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed; scripts/deps installs it");
}

QString tst_CliSpreadsheet::throughCalc(const QString &file, bool everyColumnAsText,
                                        const QString &outDir)
{
    const QString profile =
        QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("profile"))).toString();
    const QString filter = QStringLiteral("Text - txt - csv (StarCalc)");
    const QStringList arguments{
        QStringLiteral("-env:UserInstallation=") + profile,
        QStringLiteral("--headless"),
        QStringLiteral("--infilter=%1:%2").arg(filter, importOptions(everyColumnAsText)),
        QStringLiteral("--convert-to"),
        QStringLiteral("csv:%1:9,34,65535,1,,0,false,true,true").arg(filter),
        QStringLiteral("--outdir"),
        outDir,
        file};
    const CliProcess::Result calc = CliProcess::run(arguments, 120000, QString(), m_soffice);
    const QString saved =
        outDir + QLatin1Char('/') + QFileInfo(file).completeBaseName() + QStringLiteral(".csv");
    if (!calc.finished || calc.exitCode != 0 || !QFile::exists(saved))
        qWarning().noquote() << calc.describe();
    return QFile::exists(saved) ? saved : QString();
}

void tst_CliSpreadsheet::throughCalc_data()
{
    QTest::addColumn<bool>("everyColumnAsText");
    QTest::addColumn<QStringList>("problems"); // texts validate names; none: cells unchanged

    QTest::newRow("every column imported as text") << true << QStringList{};
    // TIME "00:50" comes back as "12:50:00 AM", the time event "0.10" (10 minutes) as "0.1".
    QTest::newRow("default import")
        << false << QStringList{"SEG1", "TIME", "12:50:00 AM", "T1 1st", "0.1"};
}

void tst_CliSpreadsheet::throughCalc()
{
    QFETCH(bool, everyColumnAsText);
    QFETCH(QStringList, problems);
    // Demo program 3: TIME 00:50 in segment 1, time event T1 0.10 to 1.20 in segment 3.
    QList<QStringList> rows = ProgramFiles::demoRows(3, 5);
    rows[1][9] = QStringLiteral("0.10"); // segment 1, T1 1st
    rows[1][10] = QStringLiteral("3.50");
    const QString original = m_dir.filePath(QStringLiteral("program.txt"));
    QVERIFY(ProgramFiles::save(rows, original));

    const QString outDir = m_dir.filePath(QString::number(everyColumnAsText));
    const QString saved = throughCalc(original, everyColumnAsText, outDir);
    QVERIFY(!saved.isEmpty());

    const CliProcess::Result validate =
        CliProcess::run({"validate", saved, "--sp-limits", "-200,1300", "--event-types", "0,50,8"});
    if (problems.isEmpty()) {
        QCOMPARE(ProgramFiles::load(saved), rows);
        QVERIFY2(validate.finished && validate.exitCode == 0, validate.describe());
        return;
    }
    QVERIFY(ProgramFiles::load(saved) != rows);
    QVERIFY2(validate.finished && validate.exitCode == 1, validate.describe());
    for (const QString &text : problems)
        QVERIFY2(validate.out.contains(text) || validate.err.contains(text), validate.describe());
}

QTEST_GUILESS_MAIN(tst_CliSpreadsheet)
#include "tst_cli_spreadsheet.moc"
