// dcp30-editor: the desktop program editor. "dcp30-editor [FILE]" opens FILE in the window;
// "dcp30-editor --screenshot OUT.png [FILE]" renders the window with FILE loaded, offscreen,
// into OUT.png and exits (0 when the picture was written, 1 otherwise).
#include "EditorWindow.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

namespace {

int screenshot(const QString &out, const QString &file)
{
    EditorWindow window;
    QString error;
    if (!file.isEmpty() && !window.openFile(file, &error)) {
        std::fprintf(stderr, "dcp30-editor: %s\n", qUtf8Printable(error));
        return 1;
    }
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(out, "PNG")) {
        std::fprintf(stderr, "dcp30-editor: cannot write %s\n", qUtf8Printable(out));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool shot = argc >= 3 && qstrcmp(argv[1], "--screenshot") == 0;
    if (shot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The command-line tool's names: both keep their settings (the CSV library's last folder,
    // the recent files) in one place.
    QApplication::setOrganizationName(QStringLiteral("dcp30"));
    QApplication::setApplicationName(QStringLiteral("dcp30"));
    const QStringList args = QApplication::arguments();
    if (shot)
        return screenshot(args.at(2), args.value(3));
    EditorWindow window;
    if (args.size() > 1) {
        QString error;
        if (!window.openFile(args.at(1), &error)) {
            std::fprintf(stderr, "dcp30-editor: %s\n", qUtf8Printable(error));
            return 1;
        }
    }
    window.show();
    return app.exec();
}
