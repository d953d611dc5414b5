#pragma once

#include <QWidget>

namespace tsy {

class PictureBuffer;
class PictureView;

// The result at full screen, fitted with its aspect ratio kept. Any key or
// mouse button closes it. It reads the result only when it is laid out, so it
// shows the anaglyph as it was when it opened or was last resized.
class FrmPreView : public QWidget {
    Q_OBJECT

public:
    explicit FrmPreView(const PictureBuffer& result);

    // Shows the window, out of the task bar if minimised, in front and active.
    void Bring();

    PictureView* Pic = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const PictureBuffer& result_;
};

}  // namespace tsy
