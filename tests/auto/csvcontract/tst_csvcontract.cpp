#include "CsvTestSupport.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "WorkerThread.h"

#include <QMetaMethod>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>
#include <QWidget>

using namespace CsvTestSupport;
using Table = QList<QStringList>;

namespace {

// Reads the shared settings the way the library keeps them.
class LoaderProbe : public KCSVLoader
{
public:
    using KCSVLoader::KCSVLoader;
    QWidget *dialogParent() const { return parentWidget; }
    bool byteOrderMark() const { return generateByteOrderMark; }
    int kind() const { return fileType; }
    QString filter() const { return fileFilter; }
};

// A caller that supplies its own delimiter through the virtual accessor.
class SemicolonLoader : public KCSVLoader
{
public:
    QString delimiter() const override { return QStringLiteral(";"); }
};

} // namespace

// What every user of the library relies on: initial settings, the meta-object, the virtual
// delimiter, and a loader that survives any input.
class tst_CsvContract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { isolateSettings(m_dir.filePath(QStringLiteral("settings"))); }
    void interfaceDefaults();
    void fileTypes_data();
    void fileTypes();
    void codecs();
    void metaObject();
    void loaderReadsDelimiterThroughAccessor();
    void headerCheckThreshold_data();
    void headerCheckThreshold();
    void arbitraryInputIsHandled();

private:
    QString file(const QByteArray &bytes);
    QTemporaryDir m_dir;
    WorkerThread m_worker;
    int m_files = 0;
};

QString tst_CsvContract::file(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("in%1.txt").arg(++m_files));
    if (!writeBytes(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void tst_CsvContract::interfaceDefaults()
{
    QWidget widget;
    LoaderProbe loader(&widget);
    QCOMPARE(loader.parent(), nullptr);
    QCOMPARE(loader.dialogParent(), &widget);
    QCOMPARE(loader.codec()->name(), QByteArray("UTF-16LE"));
    QVERIFY(loader.byteOrderMark());
    QCOMPARE(loader.delimiter(), QStringLiteral("\t"));
    QCOMPARE(loader.kind(), 0);
    QCOMPARE(loader.filter(), QStringLiteral("Text File (*.txt)"));
    QVERIFY(!loader.promptFormat());
    QCOMPARE(loader.statusCode(), int(KCSVLoader::NoFileName));
    QVERIFY(!loader.isDelimiterReplaced());
    QVERIFY(loader.errorMessageList().isEmpty());
    QVERIFY(loader.warningMessageList().isEmpty());
    QVERIFY(KCSVSaver().errorMessageList().isEmpty());
}

void tst_CsvContract::fileTypes_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QString>("filter");

    QTest::newRow("csv") << QList<int>{1} << ","
                         << "CSV File (*.csv)";
    QTest::newRow("csv then text") << QList<int>{1, 0} << "\t"
                                   << "Text File (*.txt)";
    QTest::newRow("unknown keeps the rest") << QList<int>{1, 7} << ","
                                            << "CSV File (*.csv)";
}

void tst_CsvContract::fileTypes()
{
    QFETCH(QList<int>, types);
    QFETCH(QString, delimiter);
    QFETCH(QString, filter);
    LoaderProbe loader;
    loader.setDelimiter(QStringLiteral(";"));
    for (int type : types)
        loader.setFileType(type);
    QCOMPARE(loader.kind(), types.last());
    QCOMPARE(loader.delimiter(), delimiter);
    QCOMPARE(loader.filter(), filter);
}

void tst_CsvContract::codecs()
{
    KCSVLoader loader;
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    loader.setCodec(utf8);
    QCOMPARE(loader.codec(), utf8);
    loader.setCodec(nullptr);
    QCOMPARE(loader.codec(), nullptr);
    loader.setDefaultCodec();
    QCOMPARE(loader.codec()->name(), QByteArray("UTF-16LE"));
    loader.setPromptFormat(true);
    QVERIFY(loader.promptFormat());
}

void tst_CsvContract::metaObject()
{
    const QMetaObject &loader = KCSVLoader::staticMetaObject;
    for (const char *slot : {"errorMessageList()", "warningMessageList()", "openFile()"})
        QVERIFY2(loader.indexOfSlot(slot) >= 0, slot);
    const QMetaMethod open = loader.method(loader.indexOfSlot("openFile(QString)"));
    QCOMPARE(open.parameterNames(), QList<QByteArray>{"fileName"});
    QCOMPARE(open.returnType(), int(QMetaType::Bool));
    QCOMPARE(open.access(), QMetaMethod::Public);

    const QMetaObject &saver = KCSVSaver::staticMetaObject;
    QVERIFY(saver.indexOfSlot("errorMessageList()") >= 0);
    QVERIFY(saver.indexOfSlot("saveFile(QList<QStringList>)") >= 0);
    const QMetaMethod save =
        saver.method(saver.indexOfSlot("saveFile(QList<QStringList>,QString)"));
    QCOMPARE(save.parameterNames(), (QList<QByteArray>{"datas", "fileName"}));
    QCOMPARE(save.access(), QMetaMethod::Public);

    const QMetaMethod status = saver.method(saver.indexOfSignal("updateStatus(QString,QVariant)"));
    QCOMPARE(status.parameterNames(), (QList<QByteArray>{"description", "value"}));
    QCOMPARE(status.enclosingMetaObject(), &KCSVInterface::staticMetaObject);
}

void tst_CsvContract::loaderReadsDelimiterThroughAccessor()
{
    auto *loader = m_worker.make<SemicolonLoader>();
    const QString path = file(utf16LeBytes("a;b\tc\r\n\"d;\r\ne\";f\r\n"));
    QVERIFY(m_worker.run([&] { return loader->openFile(path); }));
    QCOMPARE(m_worker.run([&] { return loader->loadedData(); }),
             (Table{{"a", "b\tc"}, {"d;\ne", "f"}}));
}

void tst_CsvContract::headerCheckThreshold_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<bool>("replaced");

    // The check runs when the first line's length divided by 5 exceeds its column count; these
    // lines are all suspect, so a check that runs replaces the tab by the comma.
    QTest::newRow("10 characters, 1 column") << "ab,cd,efgh" << true;
    QTest::newRow("9 characters, 1 column") << "ab,cd,efg" << false;
    QTest::newRow("20 characters, 3 columns") << "x\t\"y\"\tz,w," + QString(10, 'v') << true;
    QTest::newRow("19 characters, 3 columns") << "x\t\"y\"\tz,w," + QString(9, 'v') << false;
}

void tst_CsvContract::headerCheckThreshold()
{
    QFETCH(QString, header);
    QFETCH(bool, replaced);
    auto *loader = m_worker.make<KCSVLoader>();
    const QString path = file(utf16LeBytes(header + "\r\n1,2,3\r\n"));
    QVERIFY(m_worker.run([&] { return loader->openFile(path); }));
    QCOMPARE(loader->isDelimiterReplaced(), replaced);
    const Table rows = m_worker.run([&] { return loader->loadedData(); });
    QCOMPARE(rows.value(1).value(0), replaced ? QStringLiteral("1") : QStringLiteral("1,2,3"));
}

void tst_CsvContract::arbitraryInputIsHandled()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("seed %u", seed);
    QRandomGenerator random(seed);
    const QList<ushort> alphabet{'"', '\t', ',', ';', '\r', '\n', 'a', ' ', 0xd800, 0xfeff, 0xe9};
    const QStringList delimiters{"\t", ",", ";", "", "\"", "ab", "\n"};
    const QRegularExpression warning("^Line \\d+ is \\d+ columns (more|short) of header\\.$");

    for (int round = 0; round < 300; ++round) {
        QString text;
        const int length = random.bounded(200);
        for (int k = 0; k < length; ++k)
            text.append(QChar(alphabet.at(random.bounded(alphabet.size()))));
        const QString path = file(utf16LeBytes(text));
        KCSVLoader *loader = m_worker.make<KCSVLoader>();
        loader->setDelimiter(delimiters.at(random.bounded(delimiters.size())));

        const bool ok = m_worker.run([&] { return loader->openFile(path); });
        const QByteArray context = QStringLiteral("seed %1 round %2").arg(seed).arg(round).toUtf8();
        QVERIFY2(ok == loader->errorMessageList().isEmpty(), context);
        QVERIFY2(loader->errorMessageList().size() <= 1, context);
        for (const QString &message : loader->warningMessageList())
            QVERIFY2(warning.match(message).hasMatch(), context);
        const int status = loader->statusCode();
        QVERIFY2(status == (loader->warningMessageList().isEmpty() ? 3 : ok ? 5 : 2), context);
        const Table rows = m_worker.run([&] { return loader->loadedData(); });
        QVERIFY2(rows.size() <= text.count('\n') + 1, context);
    }
}

QTEST_MAIN(tst_CsvContract)
#include "tst_csvcontract.moc"
