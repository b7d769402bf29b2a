#include "ui/tools/MergeWindow.h"

#include "core/config/Settings.h"
#include "core/container/ChannelMerge.h"
#include "media/playback/Mp4Export.h"
#include "ui/widgets/SkinButton.h"
#include "ui/widgets/SkinText.h"
#include "ui/tools/ToolBitmaps.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>

namespace {
const QColor kSelected(240, 180, 40);
const QColor kDeselected(64, 64, 64);
constexpr uint32_t kFolderChosen = 1u << 2;
uint32_t channelBit(int channel) {
    return 1u << (15 + channel);
}
} // namespace

MergeWindow::MergeWindow(QWidget* parent) : ToolProgressWindow(parent) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(462, 406);
    m_background = ToolBitmap(133);
    m_texts[0] = text("MERGE_TEXT_SEL_FOLDER");

    m_close = new SkinButton(this);
    m_close->setBitmaps(145, 147, 146);
    m_close->setGeometry(386, 12, 65, 28);
    m_close->setToolTip(text("MERGE_BTIP_CLOSE"));
    connect(m_close, &QAbstractButton::clicked, this, [this] {
        if (isWorking()) {
            cancelJob(); // the window closes once the merge has stopped and removed its file
            m_close->setEnabled(false);
            return;
        }
        allowClose();
        reject();
    });

    m_folderText = new SkinText(this);
    m_folderText->setGeometry(30, 69, 335, 20);
    m_folderText->setTextColor(Qt::white);
    m_folderText->setTextFont(QStringLiteral("Arial"), 12);
    m_folderButton = new SkinButton(this);
    m_folderButton->setBitmaps(ToolBitmap(640), ToolBitmap(642), ToolBitmap(641), ToolBitmap(643));
    m_folderButton->setGeometry(370, 60, 80, 36);
    m_folderButton->setToolTip(text("MERGE_BTIP_SEL_FOLDER"));
    connect(m_folderButton, &QAbstractButton::clicked, this, &MergeWindow::chooseFolder);

    const char* tips[4] = {"MERGE_BTIP_SEL_CHANNEL1", "MERGE_BTIP_SEL_CHANNEL2", "MERGE_BTIP_SEL_CHANNEL3",
                           "MERGE_BTIP_SEL_CHANNEL4"};
    for (int k = 0; k < 4; ++k) {
        const int base = 550 + 10 * k;
        auto* b = new SkinButton(this);
        b->setBitmaps(ToolBitmap(base), ToolBitmap(base + 1), ToolBitmap(base + 2), ToolBitmap(base + 3));
        b->setGeometry(50, 125 + 50 * k, 174, 25);
        b->setToolTip(text(tips[k]));
        connect(b, &QAbstractButton::clicked, this, [this, k] { toggleChannel(k + 1); });
        m_channelButtons[size_t(k)] = b;
        auto* name = new SkinText(this);
        name->setGeometry(90, 150 + 50 * k, 360, 20);
        name->setTextFont(QStringLiteral("Arial"), 10);
        name->setTextColor(kSelected);
        m_channelNames[size_t(k)] = name;
    }

    m_combo = new QComboBox(this);
    m_combo->setGeometry(20, 358, 80, 20);
    m_bar = new QProgressBar(this);
    m_bar->setGeometry(110, 358, 160, 20);
    m_bar->setRange(0, 100);
    m_bar->setTextVisible(false);
    m_bar->hide();
    m_mp4 = new QCheckBox(text("MERGE_TEXT_MP4"), this); // beside the count, where the bar shows later
    m_mp4->setGeometry(110, 358, 170, 20);
    m_mp4->setStyleSheet(QStringLiteral("color: rgb(200, 200, 200);"));
    m_mp4->setToolTip(text("MERGE_BTIP_MP4"));
    m_start = new SkinButton(this);
    m_start->setBitmaps(ToolBitmap(630), ToolBitmap(632), ToolBitmap(631), ToolBitmap(633));
    m_start->setGeometry(284, 350, 158, 36);
    m_start->setToolTip(text("MERGE_BTIP_START_MERGE"));
    m_start->setEnabled(false);
    connect(m_start, &QAbstractButton::clicked, this, &MergeWindow::start);

    QPixmap picture(size());
    picture.fill(Qt::transparent);
    {
        QPainter p(&picture);
        p.drawPixmap(0, 0, m_background);
    }
    m_folderText->captureBackground(picture);
    for (SkinText* t : m_channelNames)
        t->captureBackground(picture);
}

bool MergeWindow::prepare(const QStringList& listPaths, int startIndex) {
    if (startIndex < 0 || startIndex >= listPaths.size())
        return false;
    m_list = listPaths;
    m_startIndex = startIndex;
    m_flags |= channelBit(1) | channelBit(2) | channelBit(3); // channel 4 is never offered
    m_selected = {true, true, true, false};
    m_fileCount = std::min<int>(int(listPaths.size()) - startIndex, kMaxFiles);
    const QString first = QFileInfo(listPaths[startIndex]).fileName();
    for (int k = 1; k <= 4; ++k)
        m_texts[size_t(k)] = QString::fromStdString(MergedFileName(first.toStdString(), k));
    m_combo->clear();
    for (int n = 1; n <= m_fileCount; ++n)
        m_combo->addItem(QStringLiteral("%1 File%2").arg(n).arg(n == 1 ? ' ' : 's'));
    m_combo->setCurrentIndex(m_fileCount - 1);
    for (int k = 0; k < 4; ++k) {
        const bool offered = m_flags & channelBit(k + 1);
        m_channelButtons[size_t(k)]->setEnabled(offered);
        m_channelButtons[size_t(k)]->setCheck(m_selected[size_t(k)]);
        m_channelNames[size_t(k)]->setText(m_texts[size_t(k + 1)]);
        m_channelNames[size_t(k)]->setVisible(offered);
    }
    m_folderText->setText(m_texts[0]);
    recount();
    return true;
}

void MergeWindow::showEvent(QShowEvent* event) {
    ToolProgressWindow::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void MergeWindow::chooseFolder() {
    const QString initial =
        (m_flags & kFolderChosen) ? m_folder : QString::fromStdString(StartFolderFor("merge"));
    const QString title = text("COMM_SEL_FOLDER");
    const QString chosen = m_chooseFolder ? m_chooseFolder(title, initial)
                                          : QFileDialog::getExistingDirectory(this, title, initial);
    if (!chosen.isEmpty()) {
        RememberSaveFolder("merge", chosen.toStdString(), true);
        m_folder = chosen;
        m_texts[0] = chosen;
        m_flags |= kFolderChosen;
    }
    m_folderText->setText(m_texts[0]);
    recount();
}

void MergeWindow::toggleChannel(int channel) {
    if (channel < 1 || channel > 4 || !(m_flags & channelBit(channel)) || isWorking())
        return;
    const size_t k = size_t(channel - 1);
    m_selected[k] = !m_selected[k];
    m_channelButtons[k]->setCheck(m_selected[k]);
    m_channelNames[k]->setTextColor(m_selected[k] ? kSelected : kDeselected);
    recount();
}

void MergeWindow::setMp4(bool on) {
    m_mp4->setChecked(on);
}

void MergeWindow::recount() {
    m_selectedCount = int(std::count(m_selected.begin(), m_selected.end(), true));
    m_start->setEnabled((m_flags & kFolderChosen) && m_selectedCount != 0 && !isWorking());
}

QString MergeWindow::targetPath(int channel) const {
    QString folder = m_folder;
    if (!folder.endsWith('/'))
        folder += '/';
    return folder + m_texts[size_t(channel)];
}

void MergeWindow::setBusy(bool busy) {
    for (auto* b : m_channelButtons)
        b->setEnabled(!busy && b != m_channelButtons[3]);
    m_folderButton->setEnabled(!busy);
    m_start->setEnabled(!busy);
    m_combo->setEnabled(!busy);
    m_mp4->setVisible(!busy);
}

void MergeWindow::start() {
    if (isWorking() || !(m_flags & kFolderChosen) || m_selectedCount == 0)
        return;
    if (m_startIndex < 0 || m_startIndex >= m_list.size())
        return;
    m_fileCount = m_combo->currentIndex() + 1;
    m_sources.clear();
    for (int i = 0; i < m_fileCount && m_startIndex + i < m_list.size(); ++i)
        m_sources << m_list[m_startIndex + i];
    const bool mp4 = m_mp4->isChecked();
    // A merge never replaces a file without asking.
    QStringList existing;
    for (int k = 1; k <= 4; ++k) {
        if (!m_selected[size_t(k - 1)])
            continue;
        if (QFileInfo::exists(targetPath(k)))
            existing << QFileInfo(targetPath(k)).fileName();
        const QString mp4Path = targetPath(k).chopped(4) + QStringLiteral(".mp4");
        if (mp4 && QFileInfo::exists(mp4Path))
            existing << QFileInfo(mp4Path).fileName();
    }
    if (!existing.isEmpty()) {
        const QString question = text("MERGE_MSG_REPLACE") + "\n\n" + existing.join('\n');
        const bool replace = m_ask ? m_ask(question)
                                   : QMessageBox::question(this, windowTitle(), question) == QMessageBox::Yes;
        if (!replace)
            return;
    }

    ToolJob& job = newJob();
    m_jobChannels.clear();
    m_failures.clear();
    m_notes.clear();
    std::vector<std::filesystem::path> sources;
    for (const QString& s : m_sources)
        sources.emplace_back(s.toStdString());
    for (int k = 1; k <= 4; ++k) {
        if (!m_selected[size_t(k - 1)])
            continue;
        m_jobChannels.push_back(k);
        const std::filesystem::path target = targetPath(k).toStdString();
        const QString runEnds = text("MERGE_MSG_RUN_ENDS");
        job.addItem(targetPath(k), [sources, target, k, mp4, runEnds](const ToolJob::Control& c) {
            // A drive is a run of recordings of one form: the files up to a change of form are
            // joined, and the message says where the run ended.
            std::string why;
            const size_t run = SameFormRun(sources, k - 1, &why);
            const std::vector<std::filesystem::path> joined(sources.begin(),
                                                            sources.begin() + std::max<size_t>(run, 1));
            QString note;
            if (run > 0 && run < sources.size())
                note = runEnds.arg(QString::fromStdString(sources[run - 1].filename().string()),
                                   QString::fromStdString(why));
            MergeOutcome r = MergeChannel(target, joined, k - 1, [&c, mp4](uint64_t total, uint64_t done) {
                return c.report(mp4 ? done * 4 / 5 : done, total); // the MP4 takes the last fifth
            });
            if (!r.ok)
                return ToolItemResult{false, r.cancelled, QString::fromStdString(r.error)};
            if (mp4) {
                std::string error;
                const auto mp4Target = std::filesystem::path(target).replace_extension(".mp4");
                const bool ok = ExportMp4(
                    target, mp4Target,
                    [&c](uint64_t doneMs, uint64_t totalMs) {
                        return c.report(totalMs ? 80 + doneMs * 20 / totalMs : 80, 100);
                    },
                    &error);
                if (!ok)
                    return ToolItemResult{false, c.cancelled(), QString::fromStdString(error)};
            }
            return ToolItemResult{true, false, note};
        });
    }
    setBusy(true);
    beginProgress();
    startJob();
}

void MergeWindow::beginProgress() {
    m_bar->setValue(0);
    m_bar->show();
}

void MergeWindow::onItemStarted(int index) {
    m_step = index + 1;
}

void MergeWindow::onProgress(int, int percent) {
    const int n = std::max(m_selectedCount, 1);
    m_bar->setValue((m_step - 1) * (100 / n) + (100 / n) * percent / 100);
}

void MergeWindow::onItemFinished(int index, bool ok, const QString& message) {
    if (!ok)
        m_failures << QStringLiteral("CH%1: %2").arg(m_jobChannels.at(size_t(index))).arg(message);
    else if (!message.isEmpty())
        m_notes << QStringLiteral("CH%1: %2").arg(m_jobChannels.at(size_t(index))).arg(message);
    // A failed channel: the others go on; the failure is reported at the end.
    m_bar->setValue(m_step * 100 / std::max(m_selectedCount, 1));
}

void MergeWindow::onJobFinished(int, bool cancelled) {
    if (cancelled) {
        allowClose();
        reject();
        return;
    }
    m_bar->setValue(100);
    m_close->setEnabled(true);
    setBusy(false);
    recount();
    reportOutcome();
}

void MergeWindow::reportOutcome() {
    // Every channel that failed is named; success is only reported when all worked.
    if (m_failures.isEmpty()) {
        m_outcome = text("MERGE_MSG_SUCCEEDED");
        if (!m_notes.isEmpty())
            m_outcome += "\n\n" + m_notes.join('\n');
        report(QMessageBox::Information, m_outcome);
    } else {
        m_outcome = text("MERGE_MSG_FAILED") + "\n\n" + m_failures.join('\n');
        report(QMessageBox::Critical, m_outcome);
    }
}

void MergeWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, m_background);
}

void MergeWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
        return;
    }
    ToolProgressWindow::mousePressEvent(e);
}
