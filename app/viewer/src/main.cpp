// lumapix-viewer [FILE...]: the desktop viewer.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "main_frame.hpp"
#include "snapshot.hpp"

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
    QCommandLineOption grab(QStringLiteral("grab"),
                            QStringLiteral("Once the files are shown, save the window as PNG, print what it shows "
                                           "and quit."),
                            QStringLiteral("PNG"));
    parser.addOption(grab);
    parser.process(app);

    CMainFrame frame;
    frame.show();
    for (const QString& file : parser.positionalArguments()) frame.OpenFile(file);
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
