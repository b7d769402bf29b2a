#include "ui/app/MainWindow.h"

#include "core/config/Settings.h"
#include "core/config/ViewerConfig.h"
#include "ui/widgets/CaptionButton.h"
#include "ui/app/KeyMap.h"
#include "ui/app/MainLayout.h"
#include "ui/app/MainWindowPainter.h"
#include "ui/app/PanelPlaceholder.h"
#include "ui/common/AppContext.h"
#include "ui/page/BrowserHost.h"
#include "ui/page/MainPage.h"
#include "ui/dialogs/DownloadWindow.h"
#include "ui/playback/PlaybackSession.h"
#include "ui/playback/WindowPlayback.h"
#include "ui/recordings/ListController.h"
#include "media/playback/PlaybackEngine.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDebug>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWindow>

namespace {
Qt::Edges edgesFor(WindowHit hit) {
    switch (hit) {
    case WindowHit::Left:
        return Qt::LeftEdge;
    case WindowHit::Right:
        return Qt::RightEdge;
    case WindowHit::Top:
        return Qt::TopEdge;
    case WindowHit::Bottom:
        return Qt::BottomEdge;
    case WindowHit::TopLeft:
        return Qt::TopEdge | Qt::LeftEdge;
    case WindowHit::TopRight:
        return Qt::TopEdge | Qt::RightEdge;
    case WindowHit::BottomLeft:
        return Qt::BottomEdge | Qt::LeftEdge;
    case WindowHit::BottomRight:
        return Qt::BottomEdge | Qt::RightEdge;
    default:
        return {};
    }
}

Qt::CursorShape cursorFor(WindowHit hit) {
    switch (hit) {
    case WindowHit::Left:
    case WindowHit::Right:
        return Qt::SizeHorCursor;
    case WindowHit::Top:
    case WindowHit::Bottom:
        return Qt::SizeVerCursor;
    case WindowHit::TopLeft:
    case WindowHit::BottomRight:
        return Qt::SizeFDiagCursor;
    case WindowHit::TopRight:
    case WindowHit::BottomLeft:
        return Qt::SizeBDiagCursor;
    default:
        return Qt::ArrowCursor;
    }
}
} // namespace

MainWindow::MainWindow(PlaybackSession& session, const QStringList& arguments, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_session(session),
      m_arguments(arguments) {
    initShellResources();
    setObjectName(QStringLiteral("HALVORN.TESQUE.BBPLAYER"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(kMinWidth, kMinHeight);
    setGeometry(0, 0, kMinWidth, kMinHeight);
    setWindowTitle(QString::fromLatin1(kProductTitle));
    setWindowIcon(QIcon(QStringLiteral(":/shell/icon.png")));
    m_state.programFolder = QCoreApplication::applicationDirPath();
    m_docked.fill(true);

    createChildren();
    createLists();
    createPlayback(); // over the list
    installWindowCommands();
    installFeatures();
    setTitleText({});
    player().setVolume(0x7FFF); // half volume until the page's slider moves
    layoutPanels();

    qApp->installEventFilter(this);
    // Reported once the window is up, without holding up the start.
    QTimer::singleShot(0, this, &MainWindow::reportMissingComponents);
    m_page->navigate(QStringLiteral("index.htm"));
}

void MainWindow::reportMissingComponents() {
    const int check = Player::checkFilters();
    const char* id = check == -1 ? "MAIN_MSG_NO_SRCFILTER" : check == -2 ? "MAIN_MSG_NO_VIDFILTER" : nullptr;
    if (!id)
        return; // a missing audio decoder or brightness element only costs sound or brightness
    auto* box = new QMessageBox(QMessageBox::Critical, QString::fromLatin1(kProductTitle),
                                QString::fromStdString(LString(id)), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
}

void MainWindow::createChildren() {
    for (int i = 0; i < static_cast<int>(PanelSlot::Count); ++i) {
        auto* placeholder = new PanelPlaceholder(this);
        placeholder->setObjectName(QStringLiteral("panel%1").arg(i));
        m_panels[i] = placeholder;
    }
    panel(PanelSlot::Screen3)->hide();
    panel(PanelSlot::Map)->hide(); // shown by the map commands

    m_listScrollBar = new QScrollBar(Qt::Vertical, this);
    m_listScrollBar->setRange(0, 100);
    m_listScrollBar->setPageStep(1);
    m_listScrollBar->hide(); // shown by the list when it has more rows than fit

    m_page = new BrowserHost(this);
    m_page->setObjectName(QStringLiteral("mainPage"));
    m_page->bridge()->setHost(this); // the main page's commands come here
    connect(m_page, &BrowserHost::pageLoaded, this, &MainWindow::onPageLoaded);
    m_mainPage = new MainPage(MainPage::callsInto(m_page), this);
    m_mainPage->follow(m_session);
    connect(&m_session, &PlaybackSession::recordingClosed, this, [this] { setTitleText({}); });

    m_closeButton = new CaptionButton(QStringLiteral(":/shell/close.png"), true, this);
    m_maximiseButton = new CaptionButton(QStringLiteral(":/shell/maximise.png"), false, this);
    m_minimiseButton = new CaptionButton(QStringLiteral(":/shell/minimise.png"), false, this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_maximiseButton->setObjectName(QStringLiteral("maximiseButton"));
    m_minimiseButton->setObjectName(QStringLiteral("minimiseButton"));
    connect(m_closeButton, &QAbstractButton::clicked, this,
            [this] { m_commands.run(QStringLiteral("captionClose")); });
    connect(m_maximiseButton, &QAbstractButton::clicked, this,
            [this] { m_commands.run(QStringLiteral("captionMaximise")); });
    connect(m_minimiseButton, &QAbstractButton::clicked, this,
            [this] { m_commands.run(QStringLiteral("captionMinimise")); });

    // The language of the program: stored, and in force from the next start.
    m_languageButton = new CaptionButton(QString(), false, this);
    m_languageButton->setObjectName(QStringLiteral("languageButton"));
    m_languageButton->setText(GetInstallerLanguage() == "korean" ? QStringLiteral("한")
                                                                 : QStringLiteral("EN"));
    m_languageButton->setToolTip(QStringLiteral("Language / 언어"));
    connect(m_languageButton, &QAbstractButton::clicked, this, &MainWindow::showLanguageMenu);

    m_titleLabel = new QLabel(this);
    m_titleLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    m_titleLabel->hide();

    m_logo = new QLabel(this);
    m_logo->setPixmap(QPixmap(QStringLiteral(":/shell/logo.png")));
    m_logo->setGeometry(8, 0, 189, 36);
    m_logo->setAttribute(Qt::WA_TransparentForMouseEvents); // the title band drags through it
    m_logo->show();
}

void MainWindow::installPanel(PanelSlot slot, QWidget* panel) {
    const int i = static_cast<int>(slot);
    QWidget* old = m_panels[i];
    const bool visible = old ? !old->isHidden() : true;
    if (old && old != panel)
        old->deleteLater();
    m_panels[i] = panel;
    m_docked[i] = true;
    panel->setParent(this);
    panel->setVisible(visible);
    layoutPanels();
}

void MainWindow::setDocked(PanelSlot slot, bool docked) {
    const int i = static_cast<int>(slot);
    m_docked[i] = docked;
    if (docked && m_panels[i] && m_panels[i]->parentWidget() != this)
        m_panels[i]->setParent(this);
    layoutPanels();
}

int MainWindow::scrollBarWidth() const {
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

LayoutInput MainWindow::currentLayoutInput() const {
    LayoutInput in;
    in.client = size();
    in.scrollBarWidth = scrollBarWidth();
    in.mapShown = m_state.mapShown;
    // Laid out before the player exists too (while the window is being built).
    const PlaybackEngine::State engineState = m_player ? m_player->player().state() : PlaybackEngine::State::Closed;
    in.engineOpen = engineState != PlaybackEngine::State::Closed && engineState != PlaybackEngine::State::NotBuilt;
    in.channelCount = m_player ? m_player->player().channelCount() : 0;
    for (int i = 0; i < 4; ++i)
        in.screenDocked[i] = m_docked[i];
    in.gsensorDocked = isDocked(PanelSlot::Gsensor);
    in.accelerometerDocked = isDocked(PanelSlot::Accelerometer);
    in.speedDocked = isDocked(PanelSlot::Speed);
    in.mapDocked = isDocked(PanelSlot::Map);
    in.mainScreen = m_state.mainScreen;
    in.mainLarge = m_state.mainLarge;
    return in;
}

void MainWindow::layoutPanels() {
    const MainLayout l = ::layoutPanels(currentLayoutInput());
    auto place = [this](PanelSlot slot, const QRect& r) {
        QWidget* w = panel(slot);
        if (w && isDocked(slot) && w->parentWidget() == this)
            w->setGeometry(r);
    };
    m_page->setGeometry(l.browser);
    for (int i = 0; i < 4; ++i)
        place(static_cast<PanelSlot>(i), l.screens[i]);
    place(PanelSlot::FileMenu, l.fileMenu);
    place(PanelSlot::FileList, l.fileList);
    place(PanelSlot::Accelerometer, l.accelerometer);
    place(PanelSlot::Gsensor, l.gsensor);
    place(PanelSlot::Speed, l.speed);
    place(PanelSlot::Map, l.map);
    // The docked map of a three-channel recording covers the list's place: keep it above the list.
    if (QWidget* map = panel(PanelSlot::Map); map && isDocked(PanelSlot::Map) && map->parentWidget() == this)
        map->raise();
    m_listScrollBar->setGeometry(l.listScrollBar);
    m_closeButton->setGeometry(l.closeButton);
    m_maximiseButton->setGeometry(l.maximiseButton);
    m_minimiseButton->setGeometry(l.minimiseButton);
    m_languageButton->setGeometry(l.minimiseButton.translated(-32, 0));
    m_languageButton->raise();
    m_closeButton->raise();
    m_maximiseButton->raise();
    m_minimiseButton->raise();
    update();
}

void MainWindow::resetCaptionButtons() {
    for (CaptionButton* button : {m_closeButton, m_maximiseButton, m_minimiseButton, m_languageButton})
        button->resetLook();
}

void MainWindow::setTitleText(const QString& fileName) {
    const QString product = QString::fromLatin1(kProductTitle);
    const QString text = fileName.isEmpty() ? product : QStringLiteral("%1 - %2").arg(product, fileName);
    m_titleLabel->setText(text);
    setWindowTitle(text); // what the task bar shows
}

QString MainWindow::titleText() const {
    return m_titleLabel->text();
}

void MainWindow::toggleMaximise() {
    if (m_state.maximised) {
        m_state.maximised = false;
        setGeometry(m_restoreGeometry);
        m_maximiseButton->setGlyph(QStringLiteral(":/shell/maximise.png"));
    } else {
        m_restoreGeometry = geometry();
        QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
        m_state.maximised = true;
        if (s)
            setGeometry(s->availableGeometry());
        m_maximiseButton->setGlyph(QStringLiteral(":/shell/restore.png"));
    }
    setCursor(Qt::ArrowCursor);
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (isMinimized())
        return;
    paintMainWindow(p, size(), scrollBarWidth());
}

void MainWindow::resizeEvent(QResizeEvent*) {
    layoutPanels();
    // A paused or stopped picture is drawn again at its size.
    const PlaybackEngine::State state = player().state();
    if (state == PlaybackEngine::State::Paused || state == PlaybackEngine::State::Stopped)
        player().seek(player().positionMs());
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const WindowHit hit = hitTestWindow(event->position().toPoint(), size(), m_state.maximised);
    QWindow* handle = windowHandle();
    if (!handle || hit == WindowHit::Client)
        return QWidget::mousePressEvent(event);
    if (hit == WindowHit::Caption)
        handle->startSystemMove();
    else
        handle->startSystemResize(edgesFor(hit));
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() == Qt::NoButton)
        setCursor(cursorFor(hitTestWindow(event->position().toPoint(), size(), m_state.maximised)));
    QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // The title band (also when maximised, where it no longer drags): maximise or restore.
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && p.y() < kTitleHeight &&
        (m_state.maximised || hitTestWindow(p, size(), false) == WindowHit::Caption)) {
        toggleMaximise();
        event->accept();
        return;
    }
    const PlaybackEngine::State state = player().state();
    if (state == PlaybackEngine::State::Paused || state == PlaybackEngine::State::Stopped)
        player().seek(player().positionMs());
    updateChannelControls();
    QWidget::mouseDoubleClickEvent(event);
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange)
        resetCaptionButtons(); // restored from the task bar: no hover left from before
    QWidget::changeEvent(event);
}

QMenu* MainWindow::languageMenu() {
    if (m_languageMenu)
        return m_languageMenu;
    m_languageMenu = new QMenu(this);
    m_languageMenu->setObjectName(QStringLiteral("languageMenu"));
    // Each language is named in itself, so that a user who cannot read the other finds his own.
    const std::pair<const char*, QString> choices[] = {{"english", QStringLiteral("English")},
                                                       {"korean", QStringLiteral("한국어")}};
    const std::string current = GetInstallerLanguage();
    for (const auto& [language, caption] : choices) {
        QAction* action = m_languageMenu->addAction(caption);
        action->setObjectName(QString::fromLatin1(language));
        action->setCheckable(true);
        action->setChecked(current == language);
        connect(action, &QAction::triggered, this,
                [this, id = std::string(language)] { chooseLanguage(id); });
    }
    return m_languageMenu;
}

void MainWindow::showLanguageMenu() {
    languageMenu()->popup(m_languageButton->mapToGlobal(QPoint(0, m_languageButton->height())));
}

void MainWindow::chooseLanguage(const std::string& language) {
    const std::string inForce = GetInstallerLanguage(); // fixed for the run once the program started
    StoreInstallerLanguage(language);
    for (QAction* a : languageMenu()->actions())
        a->setChecked(a->objectName().toStdString() == language);
    if (language == inForce)
        return; // the language in force already
    // Told in the chosen language: that is the one the user reads.
    std::string text;
    const ViewerConfig& config = ViewerConfig::Instance();
    config.GetLString(language == "korean" ? kLanguageKorean : kLanguageEnglish, "LANGUAGE_MSG_NEXT_START",
                      text);
    const QString message = QString::fromStdString(text);
    if (m_tellLanguage) {
        m_tellLanguage(message);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, QString::fromLatin1(kProductTitle), message,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool MainWindow::confirmQuit() {
    auto* download = dynamic_cast<DownloadWindow*>(m_downloadWindow);
    if (!download || !download->isTransferring())
        return true; // a finished transfer's window only shows its outcome
    const QString question = QString::fromStdString(LString("DOWNLOAD_MSG_QUIT"));
    const bool stop = m_askQuit ? m_askQuit(question)
                                : QMessageBox::question(this, QString::fromLatin1(kProductTitle), question,
                                                        QMessageBox::Yes | QMessageBox::No,
                                                        QMessageBox::No) == QMessageBox::Yes;
    if (!stop)
        return false;
    static_cast<QDialog*>(download)->reject(); // stops the transfer; nothing half-loaded is left
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The same rule for the close button, the window manager and the keys: a running download is
    // only given up when the user says so; otherwise nothing changes.
    if (!confirmQuit()) {
        event->ignore();
        return;
    }
    emit closing(); // windows of this one (the print report) close with it
    shutdownPlayback();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false; // keys of dialogs and floating panels are theirs
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept(); // keeps shortcuts from acting; the key press follows
        return true;
    }
    if (m_busy.isBusy())
        return true; // an opening or the report window is under way: keys wait like commands
    handleKey(key->key(), key->modifiers());
    return true; // every key of the main window is swallowed
}

bool MainWindow::handleKey(int key, Qt::KeyboardModifiers modifiers) {
    QString command = keyCommand(key, modifiers);
    if (command.isEmpty())
        return false;
    if (command == QLatin1String("playPause") && !hasScanSource())
        command = QStringLiteral("btnOpen"); // nothing to play yet: choose a card or folder
    m_commands.run(command);
    return true;
}

void MainWindow::callInternal(const QString& functionName, const QString& value) {
    m_page->callInternal(functionName, value);
}

void MainWindow::onPageLoaded(bool ok) {
    if (!ok)
        qInfo() << "main page did not load from" << BrowserHost::skinFolder();
    m_mainPage->initLanguage(QString::fromStdString(GetInstallerLanguage()));
    m_mainPage->setWindowMap(100);
    const QString unitText = QString::fromStdString(ReadSetting("speedunit"));
    if (!unitText.isEmpty()) {
        const int unit = unitText.toInt();
        m_mainPage->setSpeedUnit(unit);
        setSpeedUnit(unit);
    }
    processStartupArguments();
    emit pageReady();
}
