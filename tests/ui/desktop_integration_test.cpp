// Desktop integration: the desktop file passes desktop-file-validate and registers the "qmv:"
// scheme and the recording type; an install into a clean folder has the program beside its skin
// and configuration, and the desktop's own lookup (xdg-mime) names Quillent for both; the Debian
// package unpacks with dpkg -x into the same layout.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QString kSource = QStringLiteral(QUILLENT_SOURCE_DIR);
const QString kBuild = QFileInfo(QStringLiteral(QUILLENT_BIN_DIR)).absolutePath();

// Runs a program to its end; its exit code, or -1 when it is missing or does not finish.
int run(const QString& program, const QStringList& args, QString* output = nullptr,
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    const QString path = QStandardPaths::findExecutable(program);
    EXPECT_FALSE(path.isEmpty()) << program.toStdString() << " is needed (scripts/install-deps.sh)";
    if (path.isEmpty())
        return -1;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setProcessEnvironment(environment);
    p.start(path, args);
    if (!p.waitForFinished(600000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The installed layout below `root` (the prefix): programs with their skin and configuration.
void expectInstalledLayout(const QString& root) {
    for (const char* file :
         {"bin/quillent", "lib/quillent/quillent", "lib/quillent/quillent-tool", "lib/quillent/quillent-tool-media",
          "lib/quillent/viewerconfig.cfg", "lib/quillent/skin/index.htm", "lib/quillent/skin/download.htm",
          "lib/quillent/skin/leaflet/leaflet.js", "share/applications/quillent.desktop",
          "share/mime/packages/quillent.xml", "share/icons/hicolor/48x48/apps/quillent.png",
          "share/icons/hicolor/256x256/apps/quillent.png"})
        EXPECT_TRUE(QFileInfo::exists(root + "/" + file)) << file;
    EXPECT_EQ(QFileInfo(root + "/bin/quillent").symLinkTarget(),
              QFileInfo(root + "/lib/quillent/quillent").absoluteFilePath());
}

TEST(DesktopIntegration, DesktopFileIsValidAndRegistersSchemeAndType) {
    const QString desktop = kSource + "/resources/desktop/quillent.desktop";
    QString out;
    EXPECT_EQ(run(QStringLiteral("desktop-file-validate"), {desktop}, &out), 0) << out.toStdString();
    QFile f(desktop);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("MimeType=video/x-quillent-qmv;x-scheme-handler/qmv;"));
    EXPECT_TRUE(text.contains("Exec=quillent %u"));
    QFile mime(kSource + "/resources/desktop/quillent-mime.xml");
    ASSERT_TRUE(mime.open(QIODevice::ReadOnly));
    const QByteArray types = mime.readAll();
    EXPECT_TRUE(types.contains("<mime-type type=\"video/x-quillent-qmv\">"));
    EXPECT_TRUE(types.contains("<glob pattern=\"*.qmv\"/>"));
}

TEST(DesktopIntegration, InstallAndDebianPackageHoldTheWholeProgram) {
    QTemporaryDir prefix;
    QString out;
    ASSERT_EQ(run(QStringLiteral("cmake"), {"--install", kBuild, "--prefix", prefix.path()}, &out), 0)
        << out.toStdString();
    expectInstalledLayout(prefix.path());

    // The desktop finds Quillent for "qmv:" links and for ".qmv" files once its databases are
    // refreshed (the package's triggers do this on a real system).
    const QString share = prefix.path() + "/share";
    ASSERT_EQ(run(QStringLiteral("update-desktop-database"), {share + "/applications"}, &out), 0)
        << out.toStdString();
    ASSERT_EQ(run(QStringLiteral("update-mime-database"), {share + "/mime"}, &out), 0) << out.toStdString();
    QFile globs(share + "/mime/globs2");
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains("video/x-quillent-qmv:*.qmv"));
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_DIRS"), share);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("X-Generic"));
    for (const char* type : {"x-scheme-handler/qmv", "video/x-quillent-qmv"}) {
        ASSERT_EQ(run(QStringLiteral("xdg-mime"), {"query", "default", type}, &out, env), 0) << type;
        EXPECT_EQ(out.trimmed(), QStringLiteral("quillent.desktop")) << type;
    }

    QTemporaryDir packages;
    ASSERT_EQ(run(QStringLiteral("cpack"), {"--config", kBuild + "/CPackConfig.cmake", "-B", packages.path()},
                  &out),
              0)
        << out.toStdString();
    const QStringList debs = QDir(packages.path()).entryList({QStringLiteral("quillent_*.deb")}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << out.toStdString();
    const QString deb = packages.filePath(debs.first());
    QTemporaryDir unpacked;
    ASSERT_EQ(run(QStringLiteral("dpkg"), {"-x", deb, unpacked.path()}, &out), 0) << out.toStdString();
    expectInstalledLayout(unpacked.path() + "/usr");
    ASSERT_EQ(run(QStringLiteral("dpkg-deb"), {"--field", deb, "Depends"}, &out), 0);
    EXPECT_TRUE(out.contains("gstreamer1.0-libav")) << out.toStdString();
    EXPECT_TRUE(out.contains("libqt6webenginewidgets6")) << out.toStdString();
    ASSERT_EQ(run(QStringLiteral("dpkg-deb"), {"--field", deb, "Recommends"}, &out), 0);
    EXPECT_TRUE(out.contains("qt6-translations-l10n")) << out.toStdString();
}

} // namespace
