// The small busy window shown while a recording opens. It only follows the busy flag's opening
// state (BusyFlag::openingChanged): shown centred over its owner when an opening starts, hidden
// when it ends. The player sets the flag and lets the window be drawn before the opening runs.
#pragma once

#include <QPixmap>
#include <QWidget>

class ProgressWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 219;
    static constexpr int kHeight = 120;

    explicit ProgressWindow(QWidget* owner);

    // Shown centred over the owner while `opening`, hidden otherwise.
    void follow(bool opening);

    // The caption in the language in force ("MAIN_TEXT_LOADING"); the bitmap carries the English one.
    static QString caption();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* m_owner;
    QPixmap m_picture; // bitmap 385
};
