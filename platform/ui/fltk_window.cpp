// The FLTK back end: a real top-level window on the X display with FLTK
// widgets for the child controls. The widgets mirror the control model
// (WindowCore); what the user does to a widget goes into the model and comes
// to the program as a queued event, so the program sees the same order of
// events as with the headless back end.
#include "platform/ui/fltk_window.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/window_core.h"

namespace qvl::ui {

namespace {

constexpr double kLongestWaitSeconds = 0.1;
constexpr Fl_Font kFont = FL_HELVETICA;
constexpr Fl_Fontsize kFontSize = 13;

void setColour(Colour colour) { fl_color(colour.red, colour.green, colour.blue); }

// Draws with FLTK on whatever surface is current (the window, or an image
// surface for a screenshot).
class FltkCanvas final : public Canvas {
public:
    void fill(const Rect& area, Colour colour) override {
        if (area.empty()) return;
        fl_rectf(area.left, area.top, area.width(), area.height(), colour.red, colour.green, colour.blue);
    }
    void line(Point from, Point to, Colour colour) override {
        if (from == to) return;
        setColour(colour);
        fl_line_style(FL_SOLID, 1);
        // FLTK draws the end point too; step back one pixel towards the start.
        const Point last{to.x - (to.x > from.x) + (to.x < from.x), to.y - (to.y > from.y) + (to.y < from.y)};
        fl_line(from.x, from.y, last.x, last.y);
    }
    void text(Point topLeft, std::string_view utf8, Colour colour) override {
        if (utf8.empty()) return;
        fl_font(kFont, kFontSize);
        setColour(colour);
        fl_draw(utf8.data(), static_cast<int>(std::min<std::size_t>(utf8.size(), 1U << 20U)), topLeft.x,
                topLeft.y + fl_height() - fl_descent());
    }
};

// FLTK reads '@' in labels as a symbol and '&' in menus as a shortcut mark;
// the program's texts mean neither.
std::string plainLabel(std::string_view text) {
    std::string label;
    label.reserve(text.size());
    for (const char ch : text) {
        if (ch == '@' || ch == '&') label.push_back(ch);
        label.push_back(ch);
    }
    return label;
}

// A check box that never changes its own mark: a click only reports, and the
// program ticks the box through the model, as it does on its home system.
// The widget is the box alone and the box stays white: a background colour
// given to it is that of the text beside a box, which the program paints.
class CheckWidget final : public Fl_Widget {
public:
    CheckWidget(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}
    void setMarked(bool marked) {
        if (marked_ == marked) return;
        marked_ = marked;
        redraw();
    }

protected:
    void draw() override {
        fl_rectf(x(), y(), w(), h(), active_r() ? FL_WHITE : fl_rgb_color(240, 240, 240));
        fl_color(fl_rgb_color(122, 122, 122));
        fl_rect(x(), y(), w(), h());
        if (!marked_) return;
        fl_color(active_r() ? FL_BLACK : fl_rgb_color(160, 160, 160));
        fl_line_style(FL_SOLID, 2);
        fl_line(x() + 2, y() + h() / 2, x() + w() / 2 - 1, y() + h() - 3, x() + w() - 3, y() + 2);
        fl_line_style(FL_SOLID, 0);
    }
    int handle(int event) override {
        switch (event) {
            case FL_PUSH: return active_r() ? 1 : 0;
            case FL_RELEASE:
                if (active_r() && Fl::event_inside(this)) do_callback();
                return 1;
            default: return Fl_Widget::handle(event);
        }
    }

private:
    bool marked_ = false;
};

// An edit that reports Enter instead of acting on it.
class EditWidget final : public Fl_Input {
public:
    EditWidget(int x, int y, int w, int h, std::function<void()> onEnter)
        : Fl_Input(x, y, w, h), onEnter_(std::move(onEnter)) {}

protected:
    int handle(int event) override {
        if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            onEnter_();
            return 1;
        }
        return Fl_Input::handle(event);
    }

private:
    std::function<void()> onEnter_;
};

// A drop-down whose entries are kept here, so FLTK's menu syntax in the
// entries ('/', '&', '@') is never read.
class ComboWidget final : public Fl_Choice {
public:
    ComboWidget(int x, int y, int w, int h) : Fl_Choice(x, y, w, h) {}
    void setEntries(const std::vector<std::string>& entries, int selection) {
        if (entries != entries_) {
            entries_ = entries;
            labels_.clear();
            labels_.reserve(entries.size());
            for (const std::string& entry : entries) labels_.push_back(plainLabel(entry));
            items_.assign(labels_.size() + 1, Fl_Menu_Item{});
            for (std::size_t i = 0; i < labels_.size(); ++i) {
                items_[i].text = labels_[i].c_str();
                items_[i].labelfont_ = kFont;
                items_[i].labelsize_ = kFontSize;
            }
            menu(items_.data());
        }
        const bool inList = selection >= 0 && static_cast<std::size_t>(selection) < entries_.size();
        if (inList) {
            value(selection);
        } else {
            value(static_cast<const Fl_Menu_Item*>(nullptr));
        }
        redraw();
    }

private:
    std::vector<std::string> entries_;
    std::vector<std::string> labels_;
    std::vector<Fl_Menu_Item> items_;  // ends with an empty item, as FLTK wants
};

class FltkWindow;

class MainWidget final : public Fl_Double_Window {
public:
    MainWidget(FltkWindow& owner, const WindowSpec& spec);

protected:
    void draw() override;
    void resize(int x, int y, int w, int h) override;

private:
    FltkWindow& owner_;
};

class FltkWindow final : public WindowCore {
public:
    FltkWindow() { cacheWorkAreas(); }
    ~FltkWindow() override {
        // The widgets belong to the window; deleting it deletes them.
        widgets_.clear();
        delete window_;
        for (Fl_Window* dialog : dialogs_) delete dialog;
    }
    FltkWindow(const FltkWindow&) = delete;
    FltkWindow& operator=(const FltkWindow&) = delete;

    BackEnd backEnd() const override { return BackEnd::Fltk; }

    void paintFromWidget(Canvas& canvas) { paint(canvas); }
    void movedFromWidget(Point position) { userMoved(position); }
    void closeFromWidget() { userClose(); }

private:
    bool viewOpen(const WindowSpec& spec) override {
        Fl::lock();  // enables Fl::awake from other threads
        Fl::visual(FL_RGB);
        window_ = new MainWidget(*this, spec);
        window_->end();
        wakeable_.store(true);
        return true;
    }

    void viewShow() override {
        window_->show();
        if (alwaysOnTop_) applyAlwaysOnTop(true);
        Fl::flush();
    }

    void viewWait() override { Fl::wait(kLongestWaitSeconds); }
    // FLTK's wake-up channel exists once Fl::lock has run; before the window
    // is open there is no loop to wake.
    void viewWake() override {
        if (wakeable_.load()) Fl::awake();
    }
    void viewPoll() override { Fl::check(); }

    void viewSyncControl(ControlHandle control) override {
        const std::optional<ControlState> state = model().state(control);
        auto found = widgets_.find(control);
        if (!state) {
            if (found != widgets_.end()) {
                window_->remove(found->second);
                Fl::delete_widget(found->second);
                widgets_.erase(found);
                window_->redraw();
            }
            return;
        }
        Fl_Widget* widget = found != widgets_.end() ? found->second : makeWidget(*state);
        apply(*widget, *state);
    }

    void viewRepaint() override { window_->redraw(); }

    bool viewCapture(Image& out) override {
        const int width = window_->w();
        const int height = window_->h();
        Fl_Image_Surface surface(width, height);
        surface.set_current();
        surface.draw(window_);
        Fl_RGB_Image* picture = surface.image();
        Fl_Display_Device::display_device()->set_current();
        if (picture == nullptr) return false;
        const bool copied = copyPicture(*picture, out);
        delete picture;
        return copied;
    }

    void viewSetAlwaysOnTop(bool onTop) override {
        alwaysOnTop_ = onTop;
        if (window_ != nullptr && window_->shown()) applyAlwaysOnTop(onTop);
    }

    void viewDialog(const DialogSpec& dialog) override {
        // Not modal: the program's loop keeps serving the run while it shows.
        auto* box = new Fl_Window(420, 130);
        box->copy_label(dialog.caption.c_str());
        auto* message = new Fl_Box(10, 10, 400, 80);
        message->copy_label(plainLabel(dialog.text).c_str());
        message->align(FL_ALIGN_WRAP | FL_ALIGN_INSIDE | FL_ALIGN_LEFT);
        auto* ok = new Fl_Button(330, 95, 80, 25, "OK");
        ok->callback([](Fl_Widget* button, void*) { button->window()->hide(); });
        box->end();
        box->set_non_modal();
        box->show();
        dialogs_.push_back(box);
    }

    std::vector<Rect> viewWorkAreas() const override {
        std::lock_guard lock(screensMutex_);
        return workAreas_;
    }

    void cacheWorkAreas() {
        std::vector<Rect> areas;
        const int count = Fl::screen_count();
        for (int n = 0; n < count; ++n) {
            int x = 0;
            int y = 0;
            int w = 0;
            int h = 0;
            Fl::screen_work_area(x, y, w, h, n);
            areas.push_back(Rect{.left = x, .top = y, .right = x + w, .bottom = y + h});
        }
        std::lock_guard lock(screensMutex_);
        workAreas_ = std::move(areas);
    }

    Fl_Widget* makeWidget(const ControlState& state) {
        const ControlSpec& spec = state.spec;
        const ControlHandle handle = state.handle;
        const std::uint16_t id = spec.id;
        Fl_Widget* widget = nullptr;
        switch (spec.kind) {
            case ControlKind::Button: {
                auto* button = new Fl_Button(spec.x, spec.y, spec.width, spec.height);
                button->labelfont(kFont);
                button->labelsize(kFontSize);
                widget = button;
                break;
            }
            case ControlKind::CheckBox: widget = new CheckWidget(spec.x, spec.y, spec.width, spec.height); break;
            case ControlKind::Edit: {
                auto* edit = new EditWidget(spec.x, spec.y, spec.width, spec.height, [this, id] { userEditEnter(id); });
                edit->box(FL_BORDER_BOX);
                edit->textfont(kFont);
                edit->textsize(kFontSize);
                edit->when(FL_WHEN_CHANGED);
                widget = edit;
                break;
            }
            case ControlKind::ComboBox: {
                auto* combo = new ComboWidget(spec.x, spec.y, spec.width, kComboBoxHeight);
                combo->textfont(kFont);
                combo->textsize(kFontSize);
                combo->box(FL_BORDER_BOX);
                combo->color(FL_WHITE);
                widget = combo;
                break;
            }
        }
        if (spec.background) {
            widget->color(fl_rgb_color(spec.background->red, spec.background->green, spec.background->blue));
        }
        callbacks_[handle] = Callback{.owner = this, .handle = handle, .id = id, .kind = spec.kind};
        widget->callback(onWidget, &callbacks_[handle]);
        window_->add(widget);
        widgets_[handle] = widget;
        return widget;
    }

    void apply(Fl_Widget& widget, const ControlState& state) {
        const ControlSpec& spec = state.spec;
        switch (spec.kind) {
            case ControlKind::Button:
                if (widget.label() == nullptr || plainLabel(spec.text) != widget.label()) {
                    widget.copy_label(plainLabel(spec.text).c_str());
                }
                break;
            case ControlKind::CheckBox: static_cast<CheckWidget&>(widget).setMarked(spec.checked); break;
            case ControlKind::Edit: {
                auto& edit = static_cast<EditWidget&>(widget);
                // Only a change from elsewhere is written, so typing keeps its cursor.
                if (spec.text != edit.value()) edit.value(spec.text.c_str(), static_cast<int>(spec.text.size()));
                break;
            }
            case ControlKind::ComboBox:
                static_cast<ComboWidget&>(widget).setEntries(state.items, state.selection);
                break;
        }
        if (spec.enabled) {
            widget.activate();
        } else {
            widget.deactivate();
        }
    }

    struct Callback {
        FltkWindow* owner = nullptr;
        ControlHandle handle = kNoControl;
        std::uint16_t id = 0;
        ControlKind kind = ControlKind::Edit;
    };

    static void onWidget(Fl_Widget* widget, void* data) {
        const auto& callback = *static_cast<Callback*>(data);
        callback.owner->widgetChanged(*widget, callback);
    }

    void widgetChanged(Fl_Widget& widget, const Callback& callback) {
        switch (callback.kind) {
            case ControlKind::Button:
            case ControlKind::CheckBox:
                userCommand(Command{.controlId = callback.id, .kind = CommandKind::Clicked});
                break;
            case ControlKind::Edit:
                mutableModel().setText(callback.handle, static_cast<Fl_Input&>(widget).value());
                break;
            case ControlKind::ComboBox: {
                const int picked = static_cast<Fl_Choice&>(widget).value();
                mutableModel().setCurrentSelection(callback.handle, picked);
                userCommand(Command{.controlId = callback.id, .kind = CommandKind::SelectionChanged});
                break;
            }
        }
    }

    void applyAlwaysOnTop(bool onTop) {
        const ::Window xid = fl_xid(window_);
        if (fl_display == nullptr || xid == 0) return;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = xid;
        event.xclient.message_type = XInternAtom(fl_display, "_NET_WM_STATE", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = onTop ? 1 : 0;  // add or remove
        event.xclient.data.l[1] = static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False));
        event.xclient.data.l[3] = 1;  // a normal application asks
        XSendEvent(fl_display, DefaultRootWindow(fl_display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
        XFlush(fl_display);
    }

    static bool copyPicture(const Fl_RGB_Image& picture, Image& out) {
        const int depth = picture.d();
        if (picture.count() < 1 || depth < 3 || picture.data()[0] == nullptr) return false;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(picture.data()[0]);
        const int rowBytes = picture.ld() != 0 ? picture.ld() : picture.w() * depth;
        out = Image(picture.w(), picture.h());
        for (int y = 0; y < picture.h(); ++y) {
            const std::uint8_t* row = bytes + static_cast<std::ptrdiff_t>(y) * rowBytes;
            for (int x = 0; x < picture.w(); ++x) {
                const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * depth;
                out.setPixel(x, y, Colour{p[0], p[1], p[2]});
            }
        }
        return true;
    }

    MainWidget* window_ = nullptr;  // UI thread only
    std::map<ControlHandle, Fl_Widget*> widgets_;
    std::map<ControlHandle, Callback> callbacks_;
    std::vector<Fl_Window*> dialogs_;
    bool alwaysOnTop_ = false;
    std::atomic<bool> wakeable_{false};

    mutable std::mutex screensMutex_;  // a leaf: guards workAreas_
    std::vector<Rect> workAreas_;
};

MainWidget::MainWidget(FltkWindow& owner, const WindowSpec& spec)
    : Fl_Double_Window(spec.position.x, spec.position.y, spec.width, spec.height), owner_(owner) {
    copy_label(spec.title.c_str());
    size_range(spec.width, spec.height, spec.width, spec.height);
    color(FL_BLACK);
    callback([](Fl_Widget* widget, void*) {
        // Escape closes an FLTK window by default; only the close button and
        // the signals close this one.
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
        static_cast<MainWidget*>(widget)->owner_.closeFromWidget();
    });
}

void MainWidget::draw() {
    // The window system's background, under the program's own painting.
    fl_rectf(0, 0, w(), h(), FL_BLACK);
    FltkCanvas canvas;
    owner_.paintFromWidget(canvas);
    draw_children();
}

void MainWidget::resize(int x, int y, int w, int h) {
    Fl_Double_Window::resize(x, y, w, h);
    owner_.movedFromWidget(Point{x, y});
}

// Opens the display for FLTK when it can be opened, and keeps it: FLTK itself
// would end the process on a display it cannot open, and a probe that closed
// its connection again could make a fresh X server reset under the next one.
bool openDisplay() {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (fl_display != nullptr) return true;
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    fl_open_display(display);
    return true;
}

}  // namespace

std::unique_ptr<Window> makeFltkWindow() {
    if (!openDisplay()) return nullptr;
    return std::make_unique<FltkWindow>();
}

bool fltkDisplayAvailable() { return openDisplay(); }

bool fltkStandaloneDialog(const DialogSpec& dialog) {
    if (!openDisplay()) return false;
    fl_message_title(dialog.caption.c_str());
    if (dialog.icon == DialogIcon::Information) {
        fl_message("%s", dialog.text.c_str());
    } else {
        fl_alert("%s", dialog.text.c_str());
    }
    return true;
}

}  // namespace qvl::ui
