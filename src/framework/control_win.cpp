#include "framework/control_win.h"

#include "framework/access_keys.h"
#include "framework/accessible_events_win.h"
#include "framework/application_win.h"
#include "framework/form_win.h"
#include "framework/windowed_control_win.h"

namespace tolvar {

Control::~Control() {
    // A change announced just before the control went must not be raised
    // for it afterwards.
    if (Application* app = Application::current()) app->accessibleEvents().forget(*this);
}

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

bool Control::showing() const {
    for (const Control* c = this; c; c = c->parent_) {
        if (!c->visible_) return false;
    }
    return true;
}

bool Control::enabledInWindow() const {
    for (const Control* c = this; c; c = c->parent_) {
        if (!c->enabled_) return false;
    }
    return true;
}

std::string Control::accessibleName() const {
    if (!hint_.empty()) return hint_;
    if (!accessible.name.empty()) return accessible.name;
    return captionMarksAccessKey() ? WithoutAccessMarkers(captionText()) : captionText();
}

std::string Control::accessibleValue() const {
    return accessible.value ? accessible.value() : std::string();
}

char Control::accessKey() const {
    return captionMarksAccessKey() ? AccessKeyOf(captionText()) : 0;
}

void Control::announce(unsigned long event) const {
    if (Application* app = Application::current()) app->accessibleEvents().queue(*this, event);
}

void Control::mouseDown(MouseButton button, int x, int y) {
    if (onMouseDown) onMouseDown(button, x, y);
}

void Control::mouseUp(MouseButton button, int x, int y) {
    if (onMouseUp) onMouseUp(button, x, y);
}

void Control::mouseMove(int x, int y) {
    if (onMouseMove) onMouseMove(x, y);
}

void Control::mouseLeave() {
    if (onMouseLeave) onMouseLeave();
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
    if (Form* owner = parent()->form()) owner->keyboard().moved(*this);
}

}  // namespace tolvar
