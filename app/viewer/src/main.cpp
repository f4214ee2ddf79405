// lumapix-viewer [FILE...]: the desktop viewer.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "lumapix/plugin_host.h"
#include "main_frame.hpp"
#include "single_instance.hpp"
#include "snapshot.hpp"

namespace {

// Plug-ins sit in plg_filter beside the program; an installed viewer also
// looks in the library folder it was installed with.
std::string PluginFolder() {
    const QString program = QCoreApplication::applicationDirPath();
    const QString beside = program + QStringLiteral("/plg_filter");
    if (QFileInfo(beside).isDir()) return beside.toStdString();
    return QDir(program + QStringLiteral("/" LUMAPIX_INSTALLED_PLUGIN_DIR)).absolutePath().toStdString();
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QUILLBAY"));
    QApplication::setApplicationName(QStringLiteral("Lumapix"));
    QApplication::setApplicationVersion(QStringLiteral(LUMAPIX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lumapix image viewer"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Images or audio files to open."),
                                 QStringLiteral("[FILE...]"));
    QCommandLineOption newInstance(QStringLiteral("new-instance"),
                                   QStringLiteral("Start a viewer of its own instead of handing the files to the "
                                                  "one already running."));
    QCommandLineOption filter(QStringLiteral("filter"),
                              QStringLiteral("Run the filter plug-in of this name on the active image."),
                              QStringLiteral("NAME"));
    QCommandLineOption grab(QStringLiteral("grab"),
                            QStringLiteral("Once the files are shown, save the window as PNG, print what it shows "
                                           "and quit (implies --new-instance)."),
                            QStringLiteral("PNG"));
    parser.addOptions({newInstance, filter, grab});
    parser.process(app);

    QStringList files;
    for (const QString& file : parser.positionalArguments()) files << QFileInfo(file).absoluteFilePath();
    const bool alone = parser.isSet(newInstance) || parser.isSet(grab);
    SingleInstance instance(SingleInstance::DefaultName());
    if (!alone && instance.ForwardToRunning(files)) return 0;

    lumapix::PluginHost plugins;
    plugins.LoadAll(PluginFolder());

    CMainFrame frame(&plugins);
    frame.ShowWithSavedPlacement();
    if (!alone && instance.Listen()) {
        QObject::connect(&instance, &SingleInstance::filesReceived, &frame, [&frame](const QStringList& sent) {
            for (const QString& file : sent) frame.OpenFile(file);
            frame.showNormal();
            frame.raise();
            frame.activateWindow();
        });
    }
    int opened = 0;
    for (const QString& file : files) opened += frame.OpenFile(file) ? 1 : 0;
    if (!files.isEmpty() && opened == 0) return 1;  // nothing the user asked for could open
    if (parser.isSet(filter)) {
        bool ran = false;
        for (int i = 0; i < plugins.Count() && !ran; ++i)
            if (QString::fromUtf8(plugins.Name(i)) == parser.value(filter)) ran = frame.RunPlugin(i);
        if (!ran) std::fprintf(stderr, "lumapix-viewer: no filter \"%s\" for this image\n", qPrintable(parser.value(filter)));
    }
    if (parser.isSet(grab)) {
        const QString png = parser.value(grab);
        QTimer::singleShot(800, &frame, [&frame, png] {
            const bool saved = SaveSnapshot(frame, png);
            std::fputs(SnapshotReport(frame).toUtf8().constData(), stdout);
            std::fflush(stdout);
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
