#include "framework/control_win.h"

#include "framework/windowed_control_win.h"

namespace tolvar {

Control::~Control() = default;

void Control::setParent(WindowedControl& newParent) {
    if (&newParent == parent_ || &newParent == this) return;
    WindowedControl* old = parent_;
    std::unique_ptr<Control> self = old->releaseChild(*this);
    parent_ = &newParent;
    newParent.adoptChild(std::move(self));
    parentChanged(old);
}

void Control::setBounds(int left, int top, int width, int height) {
    Bounds old = bounds_;
    bounds_ = Bounds{left, top, width, height};
    if (old.left != left || old.top != top || old.width != width || old.height != height) {
        boundsChanged(old);
    }
}

void Control::setVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    visibilityChanged();
}

void Control::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    enabledChanged();
}

void Control::invalidate() {}

void Control::mouseDown(MouseButton button, int x, int y) {
    if (onMouseDown) onMouseDown(button, x, y);
}

void Control::mouseUp(MouseButton button, int x, int y) {
    if (onMouseUp) onMouseUp(button, x, y);
}

void Control::mouseMove(int x, int y) {
    if (onMouseMove) onMouseMove(x, y);
}

void Control::click() {
    if (onClick) onClick();
}

void Control::dblClick() {
    if (onDblClick) onDblClick();
}

GraphicControl::GraphicControl(WindowedControl& parent) : Control(&parent) {}

void GraphicControl::invalidate() {
    if (parent() && visible_) parent()->invalidateArea(bounds_.rect());
}

void GraphicControl::boundsChanged(const Bounds& old) {
    if (!parent() || !visible_) return;
    parent()->invalidateArea(old.rect());
    parent()->invalidateArea(bounds_.rect());
}

void GraphicControl::visibilityChanged() {
    if (parent()) parent()->invalidateArea(bounds_.rect());
}

void GraphicControl::parentChanged(WindowedControl* oldParent) {
    if (oldParent) oldParent->invalidateArea(bounds_.rect());
    invalidate();
}

}  // namespace tolvar
