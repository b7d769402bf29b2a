#include "ui/app/Application.h"

#include "core/config/ViewerConfig.h"
#include "ui/app/MainWindow.h"
#include "ui/app/CompositionPath.h"
#include "ui/app/SingleInstance.h"
#include "ui/playback/PlaybackSession.h"

#include <QApplication>
#include <QDebug>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>
#include <QUrl>

#include <unistd.h>

void Application::prepareProcess() {
    // Chromium refuses to start its sandbox as root; the program runs anyway without it.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!CompositionPath::leaveOutOpenGlWithoutGpu())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QStringList Application::argumentsForHandOver(const QStringList& arguments) {
    QStringList out;
    for (const QString& a : arguments) {
        if (a.startsWith(QLatin1String("qmv:")) && !a.contains(QLatin1Char('|')) &&
            a.contains(QLatin1String("%7C"), Qt::CaseInsensitive))
            // A browser hands a clicked link over with its separators escaped.
            out << QUrl::fromPercentEncoding(a.toUtf8());
        else if (a.startsWith(QLatin1String("file://")))
            out << QUrl(a).toLocalFile(); // the desktop's file managers hand over file URLs
        else if (a.isEmpty() || a.startsWith(QLatin1String("qmv:")) || a.startsWith(QLatin1Char('/')))
            out << a;
        else
            out << QFileInfo(a).absoluteFilePath();
    }
    return out;
}

bool Application::installToolkitTranslation(QCoreApplication& app) {
    if (ViewerConfig::Instance().GetLanguage() != kLanguageKorean)
        return false;
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder)) {
        qInfo() << "no Korean translation of the toolkit in" << folder;
        delete translator;
        return false;
    }
    return app.installTranslator(translator);
}

int Application::main(int argc, char** argv) {
    prepareProcess();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillent"));
    QCoreApplication::setApplicationName(QStringLiteral("Quillent"));

    const QStringList arguments = argumentsForHandOver(app.arguments().mid(1));
    SingleInstance instance;
    if (instance.notifyRunning(arguments))
        return 0; // the running copy comes to the front and takes the argument
    if (!instance.listen()) {
        if (instance.notifyRunning(arguments))
            return 0; // another copy won the race to start
        qInfo() << "could not register the running copy as" << instance.serverName();
    }

    CompositionPath::choose();
    PinInstallerLanguageForThisRun(); // a choice made in the window counts from the next start
    LoadViewerConfig(kConfigFileName, ViewerConfig::Instance()); // a missing file leaves it empty
    installToolkitTranslation(app);

    int result = 0;
    {
        PlaybackSession session; // the one announcement of what plays; outlives the window
        MainWindow window(session, arguments);
        QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                         [&window](const QStringList& handed) {
                             if (window.isMinimized())
                                 window.showNormal();
                             window.raise();
                             window.activateWindow();
                             if (!handed.isEmpty())
                                 window.handleArgument(handed.constFirst());
                         });
        window.show();
        result = app.exec();
    }
    ViewerConfig::Release();
    return result;
}
