#include "ui/tools/ScrambledCopyWindow.h"

#include "core/container/ScrambledCopy.h"
#include "ui/widgets/SkinText.h"
#include "ui/tools/ToolBitmaps.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>
#include <QWindow>

#include <cstdio>

ScrambledCopyWindow::ScrambledCopyWindow(const QString& source, const QString& target, QWidget* parent)
    : ToolProgressWindow(parent), m_source(source), m_target(target) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(423, 199);
    m_background = ToolBitmap(137);
    const QColor grey(169, 169, 169);
    const QRect places[4] = {{20, 60, 120, 30}, {150, 60, 250, 30}, {20, 90, 120, 30}, {150, 90, 250, 30}};
    for (int i = 0; i < 4; ++i) {
        m_texts[i] = new SkinText(this);
        m_texts[i]->setGeometry(places[i]);
        m_texts[i]->setTextColor(grey);
    }
    m_texts[0]->setText(text("ENCCPY_SOURCE_FILE"));
    m_texts[2]->setText(text("ENCCPY_DEST_PATH"));
    // The designed window leaves the two paths empty; they are shown here, the file names only.
    m_texts[1]->setText(QFileInfo(source).fileName());
    m_texts[3]->setText(QFileInfo(target).fileName());
    m_bar = new QProgressBar(this);
    m_bar->setGeometry(20, 140, 385, 30);
    m_bar->setRange(0, 100);
    m_bar->setTextVisible(false);
    m_bar->hide();
    QPixmap picture(size());
    picture.fill(Qt::transparent);
    {
        QPainter p(&picture);
        p.drawPixmap(0, 0, m_background);
    }
    for (SkinText* t : m_texts)
        t->captureBackground(picture);
}

QString ScrambledCopyWindow::filterFor(const QString& source) {
    const int dot = source.lastIndexOf('.');
    const QString ext = dot < 0 ? QStringLiteral("*") : source.mid(dot + 1);
    return QStringLiteral("video(*.%1)").arg(ext);
}

QString ScrambledCopyWindow::proposedTarget(const QString& folder, const QString& source) {
    return folder + '/' + QFileInfo(source).fileName();
}

void ScrambledCopyWindow::showEvent(QShowEvent* event) {
    ToolProgressWindow::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    move(parentWidget() ? parentWidget()->window()->geometry().topLeft() : QPoint(0, 0));
    QTimer::singleShot(10, this, [this] {
        ToolJob& job = newJob();
        const std::string source = m_source.toStdString(), target = m_target.toStdString();
        job.addItem(m_source, [source, target, restore = m_restore](const ToolJob::Control& c) {
            const auto progress = [&c](uint64_t done, uint64_t total) {
                std::printf("Cur(%llu) / Total(%llu)\n", static_cast<unsigned long long>(done),
                            static_cast<unsigned long long>(total));
                return c.report(done, total);
            };
            // The way back checks the copy's digest first: a changed copy restores nothing.
            CopyOutcome r = restore ? UnscrambledCopy(target, source, ClearForm::Camera, progress)
                                    : ScrambledCopy(target, source, progress);
            return ToolItemResult{r.ok(), r.code == kConvertCancelled,
                                  r.ok() ? QString() : ToolProgressWindow::failureText(r.code)};
        });
        m_bar->setValue(0);
        m_bar->show();
        startJob();
    });
}

void ScrambledCopyWindow::onProgress(int, int percent) {
    m_bar->setValue(percent);
}

void ScrambledCopyWindow::onJobFinished(int failures, bool cancelled) {
    if (failures || cancelled)
        m_reason = job()->results().empty() ? QString() : job()->results().front().message;
    done(failures || cancelled ? QDialog::Rejected : QDialog::Accepted);
}

void ScrambledCopyWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, m_background);
}

void ScrambledCopyWindow::mousePressEvent(QMouseEvent* e) {
    if ((m_windowFlags & 2) && e->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
        return;
    }
    ToolProgressWindow::mousePressEvent(e);
}
