#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QMenu;
class QPushButton;

// The soft-key bar at the bottom of a dialog or page: a left key with one command and a right key
// that runs a command or opens a menu, with translated captions.
class CSoftKeyBar : public QWidget {
  public:
    static constexpr int kHeight = 26;

    explicit CSoftKeyBar(QWidget* parent);

    // The left key (hidden with an empty caption key).
    void SetLeft(const std::string& captionKey, std::function<void()> action);
    // The right key runs `action`, or opens `menu` when one is given.
    void SetRight(const std::string& captionKey, std::function<void()> action);
    void SetRightMenu(const std::string& captionKey, QMenu* menu);
    QPushButton* GetLeft() const { return _left; }
    QPushButton* GetRight() const { return _right; }

  private:
    QPushButton* _left;
    QPushButton* _right;
    std::function<void()> _leftAction;
    std::function<void()> _rightAction;
    QMenu* _menu = nullptr;
};
