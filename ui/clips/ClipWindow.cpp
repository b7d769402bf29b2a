#include "ui/clips/ClipWindow.h"

#include "core/clips/ClipManifest.h"
#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace fs = std::filesystem;

namespace {

constexpr QSize kPreviewSize(384, 216);
constexpr int kPreviewDelayMs = 400;

QString clipTime(int64_t ms) {
    return QString::fromStdString(FormatClipTime(ms));
}

// The camera's event character, as the page's time-line marks name it.
QString eventName(char type) {
    return QString(QLatin1Char(type));
}

} // namespace

QString ClipWindow::text(const char* id) {
    const std::string s = LString(id);
    return s.empty() ? QString::fromLatin1(id) : QString::fromStdString(s);
}

ClipWindow::ClipWindow(ClipWindowInput input, QWidget* parent) : QDialog(parent), m_input(std::move(input)) {
    setObjectName(QStringLiteral("clipWindow"));
    setWindowTitle(text("CLIP_TITLE"));
    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(buildRange());
    left->addWidget(buildPicture());
    left->addWidget(buildOverlay());
    auto* right = new QVBoxLayout;
    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setFixedSize(kPreviewSize);
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setStyleSheet(QStringLiteral("background: black; color: white;"));
    m_previewNote = new QLabel(this);
    m_previewNote->setWordWrap(true);
    m_previewNote->setMaximumWidth(kPreviewSize.width());
    right->addWidget(new QLabel(text("CLIP_PREVIEW"), this));
    right->addWidget(m_preview);
    right->addWidget(m_previewNote);
    right->addWidget(buildTarget());
    right->addStretch(1);
    top->addLayout(left);
    top->addLayout(right);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_start = new QPushButton(text("CLIP_START"), this);
    m_start->setObjectName(QStringLiteral("startButton"));
    m_cancel = new QPushButton(text("CLIP_CANCEL"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_close = new QPushButton(text("CLIP_CLOSE"), this);
    m_close->setObjectName(QStringLiteral("closeButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_close);
    auto* all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(m_status);
    all->addLayout(buttons);
    connect(m_start, &QPushButton::clicked, this, &ClipWindow::start);
    connect(m_cancel, &QPushButton::clicked, this, &ClipWindow::cancel);
    connect(m_close, &QPushButton::clicked, this, &ClipWindow::close);

    m_previewTimer = new QTimer(this);
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(kPreviewDelayMs);
    connect(m_previewTimer, &QTimer::timeout, this, &ClipWindow::startPreview);
    loadSources();
    setWorking(false);
    refresh();
    schedulePreview();
}

ClipWindow::~ClipWindow() {
    m_cancelled = true;
    if (m_worker.joinable())
        m_worker.join();
    if (m_previewWorker.joinable())
        m_previewWorker.join();
}

QWidget* ClipWindow::buildRange() {
    auto* box = new QGroupBox(text("CLIP_RANGE"), this);
    auto* grid = new QGridLayout(box);
    m_rangeLoop = new QRadioButton(text("CLIP_RANGE_AB"), box);
    m_rangeLoop->setObjectName(QStringLiteral("rangeLoop"));
    m_rangeMark = new QRadioButton(text("CLIP_RANGE_MARK"), box);
    m_rangeMark->setObjectName(QStringLiteral("rangeMark"));
    m_rangeTimes = new QRadioButton(text("CLIP_RANGE_TIMES"), box);
    m_rangeTimes->setObjectName(QStringLiteral("rangeTimes"));
    auto* group = new QButtonGroup(box);
    for (QRadioButton* b : {m_rangeLoop, m_rangeMark, m_rangeTimes})
        group->addButton(b);
    m_markChoice = new QComboBox(box);
    m_markChoice->setObjectName(QStringLiteral("markChoice"));
    m_markSeconds = new QSpinBox(box);
    m_markSeconds->setObjectName(QStringLiteral("markSeconds"));
    m_markSeconds->setRange(1, 600);
    m_markSeconds->setSuffix(text("CLIP_SECONDS_SUFFIX"));
    m_from = new QLineEdit(box);
    m_from->setObjectName(QStringLiteral("fromTime"));
    m_to = new QLineEdit(box);
    m_to->setObjectName(QStringLiteral("toTime"));
    m_from->setPlaceholderText(QStringLiteral("m:ss.mmm"));
    m_to->setPlaceholderText(QStringLiteral("m:ss.mmm"));
    m_recordingCount = new QSpinBox(box);
    m_recordingCount->setObjectName(QStringLiteral("recordingCount"));
    const int available = std::max<int>(0, int(m_input.listPaths.size()) - m_input.startIndex);
    m_recordingCount->setRange(std::min(available, 1), std::min(available, kMaxRecordings));
    // The chosen recording and the next one: a moment near its end crosses the join.
    m_recordingCount->setValue(std::min(available, 2));
    m_rangeText = new QLabel(box);
    m_rangeText->setObjectName(QStringLiteral("rangeText"));
    m_rangeText->setWordWrap(true);
    m_rangeText->setMinimumHeight(2 * m_rangeText->fontMetrics().lineSpacing() + 4);

    grid->addWidget(new QLabel(text("CLIP_RECORDINGS"), box), 0, 0);
    grid->addWidget(m_recordingCount, 0, 1);
    grid->addWidget(m_rangeLoop, 1, 0, 1, 3);
    grid->addWidget(m_rangeMark, 2, 0);
    grid->addWidget(m_markChoice, 2, 1);
    grid->addWidget(m_markSeconds, 2, 2);
    grid->addWidget(m_rangeTimes, 3, 0);
    grid->addWidget(m_from, 3, 1);
    grid->addWidget(m_to, 3, 2);
    grid->addWidget(m_rangeText, 4, 0, 1, 3);

    const ClipOptions stored = ClipOptions::load();
    m_markSeconds->setValue(stored.markSeconds);
    m_markChoice->addItem(text("CLIP_MARK_POSITION").arg(clipTime(m_input.positionMs)),
                          QVariant::fromValue<qlonglong>(m_input.positionMs));
    for (const auto& [ms, type] : m_input.eventMarks)
        m_markChoice->addItem(text("CLIP_MARK_EVENT").arg(eventName(type), clipTime(ms)),
                              QVariant::fromValue<qlonglong>(ms));
    if (m_input.eventMarks.size() == 1)
        m_markChoice->setCurrentIndex(1);
    m_rangeLoop->setEnabled(m_input.startIsOpen && m_input.loopSet);
    if (m_rangeLoop->isEnabled())
        m_rangeLoop->setChecked(true);
    else if (!m_input.eventMarks.empty())
        m_rangeMark->setChecked(true);
    else
        m_rangeTimes->setChecked(true);

    connectRange();
    return box;
}

void ClipWindow::connectRange() {
    for (QRadioButton* b : {m_rangeLoop, m_rangeMark, m_rangeTimes})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                refresh();
                schedulePreview();
            }
        });
    connect(m_markChoice, &QComboBox::currentIndexChanged, this, [this] {
        m_rangeMark->setChecked(true);
        refresh();
        schedulePreview();
    });
    connect(m_markSeconds, &QSpinBox::valueChanged, this, [this] {
        refresh();
        schedulePreview();
    });
    for (QLineEdit* e : {m_from, m_to})
        connect(e, &QLineEdit::textEdited, this, [this] {
            m_rangeTimes->setChecked(true);
            refresh();
            schedulePreview();
        });
    connect(m_recordingCount, &QSpinBox::valueChanged, this, [this] {
        loadSources();
        refresh();
        schedulePreview();
    });
}

QWidget* ClipWindow::buildPicture() {
    auto* box = new QGroupBox(text("CLIP_PICTURE"), this);
    auto* form = new QFormLayout(box);
    const ClipOptions stored = ClipOptions::load();
    m_layout = new QComboBox(box);
    m_layout->setObjectName(QStringLiteral("layoutChoice"));
    const std::pair<ClipLayoutKind, const char*> layouts[] = {
        {ClipLayoutKind::Player, "CLIP_LAYOUT_PLAYER"}, {ClipLayoutKind::One, "CLIP_LAYOUT_ONE"},
        {ClipLayoutKind::SideBySide, "CLIP_LAYOUT_SIDE"}, {ClipLayoutKind::Grid, "CLIP_LAYOUT_GRID"},
        {ClipLayoutKind::PictureInPicture, "CLIP_LAYOUT_PIP"}};
    for (const auto& [kind, id] : layouts) {
        m_layout->addItem(text(id), int(kind));
        if (kind == stored.layout)
            m_layout->setCurrentIndex(m_layout->count() - 1);
    }
    m_height = new QComboBox(box);
    m_height->setObjectName(QStringLiteral("heightChoice"));
    m_height->addItem(QStringLiteral("720p (1280x720)"), 720);
    m_height->addItem(QStringLiteral("1080p (1920x1080)"), 1080);
    m_height->setCurrentIndex(stored.height == 1080 ? 1 : 0);
    auto* channels = new QHBoxLayout;
    for (int c = 0; c < 4; ++c) {
        auto* check = new QCheckBox(text("CLIP_CHANNEL").arg(c + 1), box);
        check->setObjectName(QStringLiteral("channel%1").arg(c + 1));
        check->setChecked(true);
        channels->addWidget(check);
        m_channels.push_back(check);
        connect(check, &QCheckBox::toggled, this, [this] {
            refresh();
            schedulePreview();
        });
    }
    form->addRow(text("CLIP_LAYOUT"), m_layout);
    form->addRow(text("CLIP_HEIGHT"), m_height);
    form->addRow(text("CLIP_CHANNELS"), channels);
    for (QComboBox* c : {m_layout, m_height})
        connect(c, &QComboBox::currentIndexChanged, this, [this] {
            refresh();
            schedulePreview();
        });
    return box;
}

QWidget* ClipWindow::buildOverlay() {
    auto* box = new QGroupBox(text("CLIP_OVERLAY"), this);
    auto* grid = new QGridLayout(box);
    const ClipOptions stored = ClipOptions::load();
    const std::pair<unsigned, const char*> items[] = {{kOverlayTime, "CLIP_OVERLAY_TIME"},
                                                      {kOverlaySpeed, "CLIP_OVERLAY_SPEED"},
                                                      {kOverlayPosition, "CLIP_OVERLAY_POSITION"},
                                                      {kOverlayGsensor, "CLIP_OVERLAY_GSENSOR"},
                                                      {kOverlayMap, "CLIP_OVERLAY_MAP"}};
    int i = 0;
    for (const auto& [item, id] : items) {
        auto* check = new QCheckBox(text(id), box);
        check->setObjectName(QStringLiteral("overlay%1").arg(item));
        check->setChecked(stored.overlay & item);
        grid->addWidget(check, i / 3, i % 3);
        ++i;
        m_overlayItems.emplace_back(check, item);
        connect(check, &QCheckBox::toggled, this, &ClipWindow::showPreview);
    }
    m_place = new QComboBox(box);
    m_place->setObjectName(QStringLiteral("placeChoice"));
    m_place->addItem(text("CLIP_PLACE_BOTTOM"), int(ClipOverlayPlace::Bottom));
    m_place->addItem(text("CLIP_PLACE_TOP"), int(ClipOverlayPlace::Top));
    m_place->setCurrentIndex(stored.place == ClipOverlayPlace::Top ? 1 : 0);
    grid->addWidget(new QLabel(text("CLIP_PLACE"), box), 2, 0);
    grid->addWidget(m_place, 2, 1, 1, 2);
    connect(m_place, &QComboBox::currentIndexChanged, this, &ClipWindow::showPreview);
    return box;
}

QWidget* ClipWindow::buildTarget() {
    auto* box = new QGroupBox(text("CLIP_TARGET"), this);
    auto* row = new QHBoxLayout(box);
    m_target = new QLineEdit(box);
    m_target->setObjectName(QStringLiteral("targetFile"));
    m_browse = new QPushButton(text("CLIP_BROWSE"), box);
    m_browse->setObjectName(QStringLiteral("browseButton"));
    row->addWidget(m_target, 1);
    row->addWidget(m_browse);
    if (m_input.startIndex >= 0 && m_input.startIndex < m_input.listPaths.size()) {
        const QFileInfo first(m_input.listPaths[m_input.startIndex]);
        const QString folder = QString::fromStdString(StartFolderFor("clip"));
        m_target->setText(QDir(folder).filePath(first.completeBaseName() + QStringLiteral("_clip.mp4")));
    }
    connect(m_browse, &QPushButton::clicked, this, &ClipWindow::chooseTarget);
    connect(m_target, &QLineEdit::textChanged, this, &ClipWindow::refresh);
    return box;
}

void ClipWindow::loadSources() {
    QStringList paths;
    for (int i = 0; i < m_recordingCount->value(); ++i)
        paths << m_input.listPaths[m_input.startIndex + i];
    m_sourceError.clear();
    m_sources = ReadClipSources(paths, &m_videoChannels, &m_sourceError);
    m_frameRate = m_sources.empty() ? 30 : RecordingFrameRate(m_sources.front().path);
    for (int c = 0; c < int(m_channels.size()); ++c)
        m_channels[size_t(c)]->setVisible(c < std::max(m_videoChannels, 1));
    if (m_from->text().isEmpty() && !m_sources.empty()) {
        const int64_t timeline = SourceStartMs(m_sources, m_sources.size());
        const int64_t from = std::min<int64_t>(m_input.positionMs, std::max<int64_t>(0, timeline - 1000));
        m_from->setText(clipTime(from));
        m_to->setText(clipTime(std::min<int64_t>(from + 10000, timeline)));
    }
}

std::optional<ClipRange> ClipWindow::currentRange(QString* why) const {
    const int64_t timeline = SourceStartMs(m_sources, m_sources.size());
    if (m_rangeLoop->isChecked())
        return RangeFromRepeatPoints(0, m_input.loopStartMs, m_input.loopEndMs);
    if (m_rangeMark->isChecked())
        return RangeAroundMark(m_markChoice->currentData().toLongLong(), m_markSeconds->value(), timeline);
    const auto from = ParseClipTime(m_from->text().trimmed().toStdString());
    const auto to = ParseClipTime(m_to->text().trimmed().toStdString());
    if (!from || !to) {
        if (why)
            *why = text("CLIP_MSG_BAD_TIME").arg(!from ? m_from->text() : m_to->text());
        return std::nullopt;
    }
    return ClipRange{*from, *to};
}

std::vector<int> ClipWindow::chosenChannels() const {
    std::vector<int> channels;
    const int main = m_input.mainChannel;
    const int shown = std::max(m_videoChannels, 1);
    if (main >= 0 && main < shown && m_channels[size_t(main)]->isChecked())
        channels.push_back(main);
    for (int c = 0; c < shown && c < int(m_channels.size()); ++c)
        if (c != main && m_channels[size_t(c)]->isChecked())
            channels.push_back(c);
    return channels;
}

ClipOptions ClipWindow::chosenOptions() const {
    ClipOptions o;
    o.layout = ClipLayoutKind(m_layout->currentData().toInt());
    o.height = m_height->currentData().toInt();
    o.overlay = 0;
    for (const auto& [check, item] : m_overlayItems)
        if (check->isChecked())
            o.overlay |= item;
    o.place = ClipOverlayPlace(m_place->currentData().toInt());
    o.markSeconds = m_markSeconds->value();
    return o;
}

std::optional<ClipRequest> ClipWindow::request(QString* why) const {
    QString none;
    QString& reason = why ? *why : none;
    if (m_sources.empty()) {
        reason = m_sourceError.isEmpty() ? text("MAIN_MSG_NO_SELECT") : m_sourceError;
        return std::nullopt;
    }
    const auto range = currentRange(&reason);
    if (!range)
        return std::nullopt;
    ClipRequest r;
    r.sources = m_sources;
    r.range = *range;
    r.channels = chosenChannels();
    if (r.channels.empty()) {
        reason = text("CLIP_MSG_NO_CHANNEL");
        return std::nullopt;
    }
    r.options = chosenOptions();
    r.playerMainLarge = m_input.mainLarge;
    r.speedUnit = m_input.speedUnit >= 1 && m_input.speedUnit <= 3 ? m_input.speedUnit : 1;
    r.framesPerSecond = m_frameRate;
    r.target = m_target->text().trimmed().toStdString();
    const ClipPlan plan = PlanClip(r.sources, r.range);
    if (!plan.ok()) {
        reason = text("CLIP_MSG_RANGE").arg(QString::fromStdString(plan.error));
        return std::nullopt;
    }
    return r;
}

void ClipWindow::refresh() {
    QString why;
    const auto r = request(&why);
    if (r) {
        const int64_t timeline = SourceStartMs(r->sources, r->sources.size());
        m_rangeText->setText(text("CLIP_RANGE_TEXT").arg(clipTime(r->range.fromMs), clipTime(r->range.toMs),
                                                         QString::number(r->range.durationMs() / 1000.0, 'f', 3),
                                                         clipTime(timeline)));
    } else {
        m_rangeText->setText(why);
    }
    m_start->setEnabled(r && !r->target.empty() && !isWorking());
}

void ClipWindow::schedulePreview() {
    m_previewTimer->start();
}

void ClipWindow::startPreview() {
    if (m_previewWorker.joinable()) {
        m_previewAgain = true; // decoded again when the one under way is in
        return;
    }
    const auto r = request();
    if (!r) {
        m_previewRaw = {};
        m_previewTrack.reset();
        showPreview();
        return;
    }
    m_previewAgain = false;
    m_previewNote->setText(text("CLIP_PREVIEW_WAIT"));
    m_previewWorker = std::thread([this, r = *r] {
        ClipPreviewPicture picture = MakeClipPreview(r);
        QMetaObject::invokeMethod(
            this,
            [this, r, picture = std::move(picture)] {
                m_previewWorker.join();
                m_previewRaw = picture.picture;
                m_previewTrack = picture.track;
                m_previewRequest = r;
                m_previewNote->setText(QString::fromStdString(picture.error));
                showPreview();
                if (m_previewAgain)
                    startPreview();
                emit previewReady();
            },
            Qt::QueuedConnection);
    });
}

void ClipWindow::showPreview() {
    if (m_previewRaw.isNull() || !m_previewTrack || !m_previewRequest) {
        m_previewShown = {};
        m_preview->setPixmap({});
        return;
    }
    ClipRequest r = *m_previewRequest;
    r.options = chosenOptions();
    m_previewShown = DrawClipOverlay(m_previewRaw, r, *m_previewTrack, 0);
    m_preview->setPixmap(QPixmap::fromImage(
        m_previewShown.scaled(kPreviewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    if (!m_previewTrack->hasGps() && (r.options.overlay & (kOverlaySpeed | kOverlayPosition | kOverlayMap)))
        m_previewNote->setText(text("CLIP_MSG_NO_GPS"));
}

void ClipWindow::chooseTarget() {
    const QString proposed = m_target->text();
    const QString chosen =
        m_chooseFile ? m_chooseFile(proposed)
                     : QFileDialog::getSaveFileName(this, text("CLIP_TARGET"), proposed,
                                                    QStringLiteral("MP4 (*.mp4)"));
    if (chosen.isEmpty())
        return;
    QString file = chosen;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".mp4");
    m_target->setText(file);
    RememberSaveFolder("clip", file.toStdString());
}

void ClipWindow::start() {
    if (isWorking())
        return;
    QString why;
    auto r = request(&why);
    if (!r || r->target.empty()) {
        report(QMessageBox::Critical, r ? text("CLIP_MSG_NO_TARGET") : why);
        return;
    }
    std::error_code ec;
    const fs::path manifest = ClipManifestPath(r->target);
    if (fs::exists(r->target, ec) || fs::exists(manifest, ec)) {
        const QString question = text("CLIP_MSG_REPLACE").arg(QString::fromStdString(r->target.string()));
        const bool replace =
            m_ask ? m_ask(question)
                  : QMessageBox::question(this, windowTitle(), question) == QMessageBox::Yes;
        if (!replace)
            return;
    }
    r->options.save();
    m_cancelled = false;
    m_lastPercent = -1;
    m_progress->setValue(0);
    m_status->setText(text("CLIP_WORKING"));
    if (m_worker.joinable())
        m_worker.join(); // the pipelines of a cancelled run are down by now, or nearly
    m_worker = std::thread([this, r = *r] {
        int last = -1;
        const ClipOutcome outcome = ExportClip(r, [this, &last](int64_t done, int64_t total) {
            const int percent = total > 0 ? int(std::clamp<int64_t>(done * 100 / total, 0, 100)) : 0;
            if (percent != last) {
                last = percent;
                QMetaObject::invokeMethod(this, [this, percent] { onProgress(percent); }, Qt::QueuedConnection);
            }
            return !m_cancelled;
        });
        // A cancel is told at once (its files are gone already); its pipelines go down after.
        QMetaObject::invokeMethod(this, [this, outcome] { onFinished(outcome); }, Qt::QueuedConnection);
        WaitForClipTeardown();
    });
    m_working = true;
    setWorking(true);
}

void ClipWindow::cancel() {
    if (!isWorking())
        return;
    m_cancelled = true;
    m_cancel->setEnabled(false);
    m_status->setText(text("CLIP_CANCELLING"));
}

void ClipWindow::onProgress(int percent) {
    if (isWorking() && !m_cancelled)
        m_progress->setValue(percent);
}

void ClipWindow::onFinished(const ClipOutcome& outcome) {
    m_working = false;
    setWorking(false);
    const QString target = m_target->text();
    const QString detail = QString::fromStdString(outcome.detail);
    switch (outcome.kind) {
    case ClipOutcome::Kind::Written: {
        m_progress->setValue(100);
        QString message = text("CLIP_MSG_DONE").arg(target, QString::number(outcome.durationMs / 1000.0, 'f', 3),
                                                      QString::fromStdString(outcome.manifest.string()));
        if (!outcome.damage.empty())
            message += QStringLiteral("\n\n") + text("CLIP_MSG_DAMAGE").arg(QString::fromStdString(outcome.damage));
        if (outcome.noGps && (chosenOptions().overlay & (kOverlaySpeed | kOverlayPosition | kOverlayMap)))
            message += QStringLiteral("\n\n") + text("CLIP_MSG_NO_GPS");
        report(outcome.damage.empty() ? QMessageBox::Information : QMessageBox::Warning, message);
        break;
    }
    case ClipOutcome::Kind::Cancelled:
        m_progress->setValue(0);
        m_status->setText(text("CLIP_MSG_CANCELLED"));
        break;
    case ClipOutcome::Kind::BadRange:
        report(QMessageBox::Critical, text("CLIP_MSG_RANGE").arg(detail));
        break;
    case ClipOutcome::Kind::Failed:
        report(QMessageBox::Critical, text("CLIP_MSG_FAILED").arg(detail));
        break;
    }
    emit finishedClip(int(outcome.kind));
}

void ClipWindow::report(QMessageBox::Icon icon, const QString& message) {
    // One line under the controls (the window keeps its size); the whole text in the message.
    m_status->setText(message.section(QLatin1Char('\n'), 0, 0));
    m_status->setToolTip(message);
    if (m_report) {
        m_report(icon, message);
        return;
    }
    auto* box = new QMessageBox(icon, windowTitle(), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ClipWindow::setWorking(bool working) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_rangeLoop->parentWidget(), m_layout->parentWidget(),
                                                      m_overlayItems.front().first->parentWidget(),
                                                      m_target->parentWidget()})
        w->setEnabled(!working);
    m_rangeLoop->setEnabled(!working && m_input.startIsOpen && m_input.loopSet);
    m_cancel->setEnabled(working);
    m_close->setEnabled(!working);
    refresh();
}

void ClipWindow::closeEvent(QCloseEvent* event) {
    if (isWorking()) {
        // A running clip is cancelled first; the window closes once nothing is left behind.
        cancel();
        event->ignore();
        connect(this, &ClipWindow::finishedClip, this, &QDialog::close, Qt::SingleShotConnection);
        return;
    }
    QDialog::closeEvent(event);
}

void ClipWindow::reject() {
    if (isWorking()) {
        cancel();
        return;
    }
    QDialog::reject();
}
