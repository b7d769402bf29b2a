#include "ui/card/SetupPageWindow.h"

#include "core/camera/SettingString.h"
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "ui/page/BrowserHost.h"

#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>
#include <QWebEnginePage>

namespace {
QString lstring(const char* id) {
    return QString::fromStdString(LString(id));
}

std::filesystem::path toPath(const QString& file) {
    return std::filesystem::path(file.toStdU32String());
}
} // namespace

SetupPageWindow::SetupPageWindow(QWidget* parent)
    : PageWindow(QStringLiteral("setup"), QSize(kWidth, kHeight), kDispDoSetupHandler,
                 &BridgeHost::setupWindow, Frame::TitleBand, parent) {
    setWindowTitle(lstring("SETUP_LBL_TITLE"));
    connect(page(), &BrowserHost::pageLoaded, this, &SetupPageWindow::onPageLoaded);
    SetDefaults(m_record);
    page()->navigate(QStringLiteral("setting2.htm"));
}

SetupPageWindow::~SetupPageWindow() = default;

void SetupPageWindow::onPageLoaded(bool ok) {
    if (!ok)
        return;
    page()->callScript(QStringLiteral("initLanguage"),
                       QStringList{QString::fromStdString(GetInstallerLanguage())});
    page()->callScript(QStringLiteral("setOutputTrigger"), QList<int>{1});
    const std::string stored = ReadSetting("setting");
    if (!stored.empty())
        ParseSettingString(stored, m_record);
    populate();
}

void SetupPageWindow::populate() {
    // One script with every call, in order: the page shows the whole record at once.
    QJsonArray calls;
    for (const PageCall& c : PopulateCalls(m_record)) {
        QJsonArray args;
        for (const PageArg& a : c.args) {
            if (const auto* n = std::get_if<int64_t>(&a))
                args.append(static_cast<qint64>(*n));
            else
                args.append(QString::fromStdString(std::get<std::string>(a)));
        }
        calls.append(QJsonArray{QString::fromStdString(c.function), args});
    }
    const QString script =
        QStringLiteral(
            "(function(calls){var missing=[];calls.forEach(function(c){"
            "if(typeof window[c[0]]==='function')window[c[0]].apply(null,c[1]);else missing.push(c[0]);});"
            "return missing;})(%1)")
            .arg(QString::fromUtf8(QJsonDocument(calls).toJson(QJsonDocument::Compact)));
    page()->page()->runJavaScript(script, [this](const QVariant& missing) {
        if (!missing.toStringList().isEmpty())
            qInfo() << "setup page lacks" << missing.toStringList();
        emit populated();
    });
}

void SetupPageWindow::handleCommand(const QString& name, const QString& value) {
    // Called from the page's script: file choosers and message boxes wait until the call returned.
    QTimer::singleShot(0, this, [this, name, value] {
        runCommand(name, value);
        emit commandDone(name);
    });
}

void SetupPageWindow::runCommand(const QString& name, const QString& value) {
    if (name == QLatin1String("btnOkey")) {
        accept();
    } else if (name == QLatin1String("btnCancel")) {
        reject();
    } else if (name == QLatin1String("btnLoad")) {
        const QString file = chooseFile(false);
        if (file.isEmpty())
            return;
        const SetupFileResult r = LoadSetupFile(toPath(file), m_record);
        if (!r.ok) {
            showMessage(lstring("CFG_LOAD_FAILED"), QMessageBox::Critical);
            return;
        }
        populate();
        showMessage(lstring("CFG_LOAD"), QMessageBox::Information);
    } else if (name == QLatin1String("btnSave")) {
        // The record and the stored string follow the page even when no file is chosen.
        ParseSettingString(value.toStdString(), m_record);
        WriteSetting("setting", value.toStdString());
        const QString file = chooseFile(true);
        if (file.isEmpty())
            return;
        if (!SaveSetupFile(toPath(file), m_record).ok) {
            showMessage(lstring("CFG_SAVE_FAILED"), QMessageBox::Critical);
            return;
        }
        showMessage(lstring("CFG_SAVE"), QMessageBox::Information);
    } else if (name == QLatin1String("btnWrite")) {
        WriteSetting("setting", value.toStdString());
    } else if (name == QLatin1String("btnDefault")) {
        SetDefaults(m_record);
        populate();
    } else if (name == QLatin1String("btnLoadfrommovie")) {
        const std::optional<SetupRecordBytes> copy = m_recordingSetup ? m_recordingSetup() : std::nullopt;
        if (!copy) {
            showMessage(lstring("FOUND_NOT_CONFIG_INFORMATION"), QMessageBox::Information);
            return;
        }
        LoadSetupFromRecordingCopy(m_record, *copy);
        populate();
        showMessage(lstring("COMPLETE"), QMessageBox::Information);
    }
}

QString SetupPageWindow::chooseFile(bool save) {
    if (m_chooseFile)
        return m_chooseFile(save);
    QFileDialog dialog(this, save ? QStringLiteral("Select location of CFG file")
                                  : QStringLiteral("Select CFG file"));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("CFG Files (*.cfg)"));
    dialog.setDefaultSuffix(QStringLiteral("cfg"));
    dialog.setDirectory(QString::fromStdString(StartFolderFor("cfg")));
    dialog.selectFile(QStringLiteral("setup"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (save)
        RememberSaveFolder("cfg", dialog.selectedFiles().constFirst().toStdString());
    return dialog.selectedFiles().constFirst();
}

void SetupPageWindow::showMessage(const QString& text, QMessageBox::Icon icon) {
    if (m_showMessage) {
        m_showMessage(text, icon);
        return;
    }
    QMessageBox box(icon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}
