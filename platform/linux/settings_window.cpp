// The settings window on Linux: a GTK window that shows the core's canvas in a drawing area
// with the canvas's texts in a Japanese font over it, real GTK list, combo and buttons placed
// at the layout's positions, and the mouse handed to the form's events.
#include "platform/linux/settings_window.h"

#include "platform/linux/run_settings.h"
#include "platform/linux/startup_linux.h"
#include "platform/picture_loader_factory.h"
#include "settings_dialog/dialog_canvas.h"
#include "settings_dialog/dialog_layout.h"
#include "settings_dialog/dialog_mouse.h"
#include "settings_dialog/dialog_text.h"
#include "settings_dialog/settings_form.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

namespace velmora::shell {

namespace {

namespace L = dialog::layout;
namespace T = dialog::text;
using dialog::ButtonFace;
using dialog::Face;
using dialog::Hit;

// A Japanese proportional face from fontconfig at the designed 9.75 points.
constexpr const char* FontFamilies = "IPAPGothic, IPAGothic, Noto Sans CJK JP, sans";
constexpr double FontPoints = 9.75;
// The folder scan serves the window about 30 times a second.
constexpr auto ScanPumpInterval = std::chrono::milliseconds(30);

// A cairo surface over a picture's pixels: the picture's blue, green, red, reserved bytes are
// cairo's native 32-bit RGB on a little-endian machine. The picture must outlive it.
struct SurfaceFree {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceFree>;

Surface surfaceOf(Picture& picture)
{
    if (picture.empty())
        return nullptr;
    return Surface(cairo_image_surface_create_for_data(picture.data(), CAIRO_FORMAT_RGB24, picture.width(),
                                                       picture.height(), picture.width() * 4));
}

class SettingsWindow final : public dialog::DialogPlatform {
public:
    SettingsWindow(StartupState& state, const SettingsLocation& location);
    SettingsWindow(const SettingsWindow&) = delete;
    SettingsWindow& operator=(const SettingsWindow&) = delete;
    ~SettingsWindow() override;

    void run();

    // dialog::DialogPlatform: GTK's loop, pointer and dialogs.
    void pumpMessages() override;
    void endProgram() override;
    void busyPointer(bool busy) override;
    std::optional<dialog::ScreenPoint> cursorPosition() override;
    // The window manager animates windows opening and closing itself.
    void zoomOpen(dialog::ScreenPoint) override {}
    void zoomClose(dialog::ScreenPoint) override {}
    std::optional<std::string> browseForFolder(std::string_view prompt) override;
    std::optional<std::string> openFile(std::string_view filterName, std::string_view patterns,
                                        std::string_view title) override;
    void messageBox(std::string_view text) override;
    PictureLoader& pictureLoader() override { return *loader_; }

private:
    void loadSkin();
    void createWidgets();
    void syncControls();
    void syncPanels(bool listChanged);
    void fillList();
    void onPress(const GdkEventButton& event);
    void onRelease(const GdkEventButton& event);
    void paint(cairo_t* cr);
    void drawText(cairo_t* cr, const dialog::CanvasText& text);

    static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer self);
    static gboolean onButtonPress(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean onButtonRelease(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean onGrabBroken(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean onMotion(GtkWidget*, GdkEventMotion* event, gpointer self);
    static gboolean onQueryTooltip(GtkWidget*, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                                   gpointer self);
    static void onListRealized(GtkWidget* list, gpointer self);
    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
    static void onDestroy(GtkWidget*, gpointer self);
    static void onListSelection(GtkTreeSelection*, gpointer self);
    static void onRepeatChanged(GtkComboBox*, gpointer self);
    static void onFilterClicked(GtkButton* button, gpointer self);

    posix::PosixFileSystem fs_;
    posix::IconvCodec codec_;
    std::unique_ptr<PictureLoader> loader_ = createPlatformPictureLoader();
    dialog::SettingsForm form_;
    dialog::DialogSkin skin_;
    Picture canvasPixels_; // the core's drawing, put on the screen as it is
    PangoFontDescription* font_ = nullptr;
    GdkCursor* skinCursor_ = nullptr; // the form's own pointer over its controls; null: the default
    bool canvasCursorSet_ = false;
    GtkWidget* window_ = nullptr;
    GtkWidget* canvas_ = nullptr;
    GtkListStore* listStore_ = nullptr;
    GtkWidget* list_ = nullptr;
    GtkWidget* repeat_ = nullptr;
    std::array<GtkWidget*, L::FilterButtons + 1> filterButtons_{};
    int pressedButton_ = -1;
    bool syncing_ = false;         // the view itself is changing a control: no event to the form
    bool closed_ = false;
    std::size_t listShown_ = 0;    // entries of List_1 in the list store
    bool scanListCleared_ = false; // the store was emptied for the scan now running
    std::chrono::steady_clock::time_point lastScanPump_{};
};

SettingsWindow::SettingsWindow(StartupState& state, const SettingsLocation& location)
    : form_(state.settings, state.catalogue, *this, dialog::SettingsStore{location, fs_, codec_})
{
    loadSkin();
    font_ = pango_font_description_from_string(FontFamilies);
    pango_font_description_set_size(font_, int(FontPoints * PANGO_SCALE));
}

SettingsWindow::~SettingsWindow()
{
    if (window_ != nullptr)
        gtk_widget_destroy(window_);
    if (listStore_ != nullptr)
        g_object_unref(listStore_);
    if (skinCursor_ != nullptr)
        g_object_unref(skinCursor_);
    pango_font_description_free(font_);
}

// The skin through the program's own decoders, from the folder installed beside the samples.
void SettingsWindow::loadSkin()
{
    const std::string folder = posix::findResourceFolder("skin");
    if (folder.empty())
        return; // the window still works, drawn without its pictures
    for (std::size_t i = 0; i < skin_.size(); ++i) {
        Result<LoadedPicture> loaded = loader_->load(folder + "/" + std::string(dialog::SkinFile[i]), LoadRequest{});
        if (loaded.ok())
            skin_[i] = std::move(loaded->picture);
    }
    // The cursor file carries its hot spot, which the pixbuf hands on to the cursor.
    if (GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file((folder + "/cursor.cur").c_str(), nullptr); pixbuf != nullptr) {
        skinCursor_ = gdk_cursor_new_from_pixbuf(gdk_display_get_default(), pixbuf, -1, -1);
        g_object_unref(pixbuf);
    }
}

void SettingsWindow::run()
{
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), std::string(T::Title).c_str());
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    g_signal_connect(window_, "delete-event", G_CALLBACK(&SettingsWindow::onDelete), this);
    g_signal_connect(window_, "destroy", G_CALLBACK(&SettingsWindow::onDestroy), this);
    createWidgets();

    form_.Form_Load();
    syncControls();
    gtk_widget_show_all(window_);
    gtk_window_present(GTK_WINDOW(window_));

    while (!closed_)
        gtk_main_iteration();
}

void SettingsWindow::createWidgets()
{
    // The dialog's font on its controls, and the filter buttons as small as the layout has them.
    GtkCssProvider* css = gtk_css_provider_new();
    const std::string rules = std::string("* { font-family: ") + FontFamilies + "; font-size: 9.75pt; }\n" +
                              "button.velmora-filter { padding: 0; min-height: 0; min-width: 0; }\n"
                              "combobox entry { min-height: 0; min-width: 0; padding: 0 2px; }\n"
                              "combobox button { min-height: 0; min-width: 0; padding: 0 2px; }\n";
    gtk_css_provider_load_from_data(css, rules.c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(gtk_widget_get_screen(window_), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window_), fixed);

    canvas_ = gtk_drawing_area_new();
    gtk_widget_set_size_request(canvas_, L::CanvasWidth, L::CanvasHeight);
    gtk_widget_add_events(canvas_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
    g_signal_connect(canvas_, "motion-notify-event", G_CALLBACK(&SettingsWindow::onMotion), this);
    g_signal_connect(canvas_, "draw", G_CALLBACK(&SettingsWindow::onDraw), this);
    g_signal_connect(canvas_, "button-press-event", G_CALLBACK(&SettingsWindow::onButtonPress), this);
    g_signal_connect(canvas_, "button-release-event", G_CALLBACK(&SettingsWindow::onButtonRelease), this);
    g_signal_connect(canvas_, "grab-broken-event", G_CALLBACK(&SettingsWindow::onGrabBroken), this);
    gtk_widget_set_has_tooltip(canvas_, TRUE);
    g_signal_connect(canvas_, "query-tooltip", G_CALLBACK(&SettingsWindow::onQueryTooltip), this);
    gtk_fixed_put(GTK_FIXED(fixed), canvas_, 0, 0);

    const auto place = [&](GtkWidget* widget, const L::Rect& at) {
        gtk_widget_set_size_request(widget, at.w, at.h);
        gtk_fixed_put(GTK_FIXED(fixed), widget, at.x, at.y);
    };

    listStore_ = gtk_list_store_new(1, G_TYPE_STRING);
    list_ = gtk_tree_view_new_with_model(GTK_TREE_MODEL(listStore_));
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(list_), FALSE);
    gtk_tree_view_set_fixed_height_mode(GTK_TREE_VIEW(list_), TRUE); // a large folder fills it at once
    GtkTreeViewColumn* column =
        gtk_tree_view_column_new_with_attributes("", gtk_cell_renderer_text_new(), "text", 0, nullptr);
    gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
    gtk_tree_view_column_set_fixed_width(column, L::List1.w + 300); // long names scroll sideways
    gtk_tree_view_append_column(GTK_TREE_VIEW(list_), column);
    g_signal_connect(gtk_tree_view_get_selection(GTK_TREE_VIEW(list_)), "changed",
                     G_CALLBACK(&SettingsWindow::onListSelection), this);
    g_signal_connect_after(list_, "realize", G_CALLBACK(&SettingsWindow::onListRealized), this);
    GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(scroller), list_);
    place(scroller, L::List1);

    repeat_ = gtk_combo_box_text_new_with_entry();
    gtk_entry_set_width_chars(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(repeat_))), 2);
    g_signal_connect(repeat_, "changed", G_CALLBACK(&SettingsWindow::onRepeatChanged), this);
    place(repeat_, L::Repeat);

    for (int i = 1; i <= L::FilterButtons; ++i) {
        GtkWidget* button = gtk_button_new_with_label(std::to_string(i).c_str());
        gtk_style_context_add_class(gtk_widget_get_style_context(button), "velmora-filter");
        g_object_set_data(G_OBJECT(button), "velmora-index", GINT_TO_POINTER(i));
        g_signal_connect(button, "clicked", G_CALLBACK(&SettingsWindow::onFilterClicked), this);
        place(button, L::FilterButton(i));
        filterButtons_[std::size_t(i)] = button;
    }
}

// The repeat box's entries once, at load, then the rest.
void SettingsWindow::syncControls()
{
    syncing_ = true;
    for (const auto& entry : form_.BGM_Repeat.entries)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(repeat_), entry.c_str());
    gtk_entry_set_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(repeat_))), form_.BGM_Repeat.text.c_str());
    syncing_ = false;
    syncPanels(true);
}

// After an event: the list (when the form replaced it), the enabled states, the canvas.
void SettingsWindow::syncPanels(bool listChanged)
{
    if (closed_)
        return;
    syncing_ = true;
    if (listChanged)
        fillList();
    gtk_widget_set_sensitive(repeat_, form_.BGM_Repeat.enabled);
    for (int i = 1; i <= L::FilterButtons; ++i)
        gtk_widget_set_sensitive(filterButtons_[std::size_t(i)], form_.Cmd_Fil_Enabled[std::size_t(i)]);
    syncing_ = false;
    gtk_widget_queue_draw(canvas_);
}

void SettingsWindow::fillList()
{
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(list_));
    // Detached while it is filled, so the view does not lay out every row as it comes.
    g_object_ref(listStore_);
    gtk_tree_view_set_model(GTK_TREE_VIEW(list_), nullptr);
    gtk_list_store_clear(listStore_);
    for (const auto& name : form_.List_1)
        gtk_list_store_insert_with_values(listStore_, nullptr, -1, 0, name.c_str(), -1);
    gtk_tree_view_set_model(GTK_TREE_VIEW(list_), GTK_TREE_MODEL(listStore_));
    g_object_unref(listStore_);
    listShown_ = form_.List_1.size();
    scanListCleared_ = false;
    if (form_.List_1_Selected && std::size_t(*form_.List_1_Selected) < listShown_) {
        GtkTreePath* path = gtk_tree_path_new_from_indices(*form_.List_1_Selected, -1);
        gtk_tree_selection_select_path(selection, path);
        gtk_tree_path_free(path);
    } else {
        gtk_tree_selection_unselect_all(selection);
    }
}

void SettingsWindow::onPress(const GdkEventButton& event)
{
    if (event.type != GDK_BUTTON_PRESS)
        return; // the second and third press of a double click were pressed once already
    const Hit hit = dialog::hitTest(int(event.x), int(event.y));
    if (dialog::pressChoice(form_, hit)) {
        syncPanels(hit.target == Hit::PictureKind);
        return;
    }
    if (hit.target == Hit::PushButton && event.button == GDK_BUTTON_PRIMARY &&
        form_.Img_Button[std::size_t(hit.index)].enabled) {
        // The canvas keeps the pointer while the button is held (GTK's implicit grab), so
        // the release comes here wherever the pointer then is.
        pressedButton_ = hit.index;
        form_.lbl_Button_MouseDown(hit.index);
        gtk_widget_queue_draw(canvas_);
    }
}

void SettingsWindow::onRelease(const GdkEventButton& event)
{
    if (event.button != GDK_BUTTON_PRIMARY || pressedButton_ < 0)
        return;
    const int button = pressedButton_;
    pressedButton_ = -1;
    gtk_widget_queue_draw(canvas_);
    form_.lbl_Button_MouseUp(button); // may end the window
    // The folder and "ｸﾘｱ" buttons replace the list; the music file changes its label.
    syncPanels(button == 0 || button == 1);
}

gboolean SettingsWindow::onDraw(GtkWidget*, cairo_t* cr, gpointer self)
{
    static_cast<SettingsWindow*>(self)->paint(cr);
    return TRUE;
}

gboolean SettingsWindow::onButtonPress(GtkWidget*, GdkEventButton* event, gpointer self)
{
    static_cast<SettingsWindow*>(self)->onPress(*event);
    return TRUE;
}

gboolean SettingsWindow::onButtonRelease(GtkWidget*, GdkEventButton* event, gpointer self)
{
    static_cast<SettingsWindow*>(self)->onRelease(*event);
    return TRUE;
}

// The system took the pointer away while a push button was held: its face comes back up.
gboolean SettingsWindow::onGrabBroken(GtkWidget*, GdkEvent*, gpointer self)
{
    auto* window = static_cast<SettingsWindow*>(self);
    if (window->pressedButton_ >= 0) {
        window->pressedButton_ = -1;
        window->form_.cancelPress();
        gtk_widget_queue_draw(window->canvas_);
    }
    return FALSE;
}

// The close box: the form unloads without saving and ends the window itself.
// The form's pointer over the choices and push buttons, the default elsewhere.
gboolean SettingsWindow::onMotion(GtkWidget* canvas, GdkEventMotion* event, gpointer self)
{
    auto* window = static_cast<SettingsWindow*>(self);
    const bool over = dialog::hitTest(int(event->x), int(event->y)).target != Hit::Nothing;
    if (window->skinCursor_ != nullptr && over != window->canvasCursorSet_) {
        gdk_window_set_cursor(gtk_widget_get_window(canvas), over ? window->skinCursor_ : nullptr);
        window->canvasCursorSet_ = over;
    }
    return FALSE;
}

// The size label's full story when a picture did not load.
gboolean SettingsWindow::onQueryTooltip(GtkWidget*, gint x, gint y, gboolean keyboard, GtkTooltip* tooltip,
                                        gpointer self)
{
    const auto& tip = static_cast<SettingsWindow*>(self)->form_.lbl_PreSize_Tip;
    if (keyboard || tip.empty() || !L::PreSize.contains(x, y))
        return FALSE;
    gtk_tooltip_set_text(tooltip, tip.c_str());
    return TRUE;
}

void SettingsWindow::onListRealized(GtkWidget* list, gpointer self)
{
    auto* window = static_cast<SettingsWindow*>(self);
    if (window->skinCursor_ != nullptr)
        gdk_window_set_cursor(gtk_tree_view_get_bin_window(GTK_TREE_VIEW(list)), window->skinCursor_);
}

gboolean SettingsWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self)
{
    static_cast<SettingsWindow*>(self)->form_.Form_QueryClose();
    return TRUE;
}

void SettingsWindow::onDestroy(GtkWidget*, gpointer self)
{
    auto* window = static_cast<SettingsWindow*>(self);
    window->window_ = nullptr;
    window->closed_ = true;
}

void SettingsWindow::onListSelection(GtkTreeSelection* selection, gpointer self)
{
    auto* window = static_cast<SettingsWindow*>(self);
    if (window->syncing_ || window->closed_)
        return;
    GtkTreeIter iter;
    GtkTreeModel* model = nullptr;
    if (!gtk_tree_selection_get_selected(selection, &model, &iter))
        return;
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    const int row = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    if (row < 0 || std::size_t(row) >= window->form_.List_1.size())
        return;
    window->form_.List_1_Selected = row;
    window->form_.List_1_Click();
    window->syncPanels(false);
}

// The form keeps the box's text, chosen or typed: it becomes BgmRepeat on save.
void SettingsWindow::onRepeatChanged(GtkComboBox* box, gpointer self)
{
    auto* window = static_cast<SettingsWindow*>(self);
    if (window->syncing_)
        return;
    const gchar* text = gtk_entry_get_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(box))));
    window->form_.BGM_Repeat.text = text != nullptr ? text : "";
}

void SettingsWindow::onFilterClicked(GtkButton* button, gpointer self)
{
    auto* window = static_cast<SettingsWindow*>(self);
    window->form_.Cmd_Fil_Click(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "velmora-index")));
    gtk_widget_queue_draw(window->canvas_);
}

void SettingsWindow::paint(cairo_t* cr)
{
    dialog::paintCanvas(canvasPixels_, form_, skin_);
    const Surface surface = surfaceOf(canvasPixels_);
    cairo_set_source_surface(cr, surface.get(), 0, 0);
    cairo_paint(cr);
    for (const dialog::CanvasText& text : dialog::canvasTexts(form_))
        drawText(cr, text);
}

void SettingsWindow::drawText(cairo_t* cr, const dialog::CanvasText& text)
{
    cairo_save(cr);
    if (text.clip) {
        cairo_rectangle(cr, text.clip->x, text.clip->y, text.clip->w, text.clip->h);
        cairo_clip(cr);
    }
    PangoLayout* layout = pango_cairo_create_layout(cr);
    pango_layout_set_font_description(layout, font_);
    pango_layout_set_text(layout, text.text.data(), int(text.text.size()));
    const L::Rect& box = text.box;
    const bool runsPast = text.align == dialog::TextAlign::Left && !text.clip && !text.wrap;
    pango_layout_set_width(layout, runsPast ? -1 : box.w * PANGO_SCALE);
    pango_layout_set_alignment(layout, text.align == dialog::TextAlign::Centre  ? PANGO_ALIGN_CENTER
                                       : text.align == dialog::TextAlign::Right ? PANGO_ALIGN_RIGHT
                                                                                : PANGO_ALIGN_LEFT);
    if (text.wrap) {
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        pango_layout_set_height(layout, box.h * PANGO_SCALE);
    }
    if (text.ellipsis)
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_MIDDLE);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    const int top = text.centreVertically ? box.y + (box.h - height) / 2 : box.y;
    cairo_set_source_rgb(cr, text.colour.r / 255.0, text.colour.g / 255.0, text.colour.b / 255.0);
    cairo_move_to(cr, box.x, top);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_restore(cr);
}

void SettingsWindow::pumpMessages()
{
    if (form_.scanning()) {
        // A folder scan yields once per file: the window is served (the count and the list
        // brought up to date) about 30 times a second, which keeps a large folder quick.
        const auto now = std::chrono::steady_clock::now();
        if (now - lastScanPump_ < ScanPumpInterval)
            return;
        lastScanPump_ = now;
        syncing_ = true;
        if (!scanListCleared_) {
            gtk_list_store_clear(listStore_);
            listShown_ = 0;
            scanListCleared_ = true;
        }
        for (; listShown_ < form_.List_1.size(); ++listShown_)
            gtk_list_store_insert_with_values(listStore_, nullptr, -1, 0, form_.List_1[listShown_].c_str(), -1);
        syncing_ = false;
        gtk_widget_queue_draw(canvas_);
    }
    while (!closed_ && gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

void SettingsWindow::busyPointer(bool busy)
{
    if (window_ == nullptr || gtk_widget_get_window(window_) == nullptr)
        return;
    GdkWindow* gdkWindow = gtk_widget_get_window(window_);
    GdkCursor* cursor = busy ? gdk_cursor_new_from_name(gdk_window_get_display(gdkWindow), "wait") : nullptr;
    gdk_window_set_cursor(gdkWindow, cursor);
    if (cursor != nullptr)
        g_object_unref(cursor);
    gdk_display_flush(gdk_window_get_display(gdkWindow));
}

std::optional<dialog::ScreenPoint> SettingsWindow::cursorPosition()
{
    GdkDisplay* display = gdk_display_get_default();
    GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
    GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
    if (pointer == nullptr)
        return std::nullopt;
    int x = 0;
    int y = 0;
    gdk_device_get_position(pointer, nullptr, &x, &y);
    return dialog::ScreenPoint{x, y};
}

void SettingsWindow::messageBox(std::string_view text)
{
    const std::string message(text);
    GtkWidget* box = gtk_message_dialog_new(GTK_WINDOW(window_), GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                            GTK_BUTTONS_OK, "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(box), "ヴェルモラ");
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
}

// The system's chooser: the desktop's portal where there is one, GTK's own otherwise.
std::optional<std::string> runChooser(GtkFileChooserNative* chooser)
{
    std::optional<std::string> chosen;
    if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser)); name != nullptr) {
            chosen = name;
            g_free(name);
        }
    }
    g_object_unref(chooser);
    return chosen; // nullopt: cancelled, or not a local file
}

std::optional<std::string> SettingsWindow::browseForFolder(std::string_view prompt)
{
    const std::string title(prompt);
    // "OK", as the prompt asks the user to press; opened on the folder shown, when there is one.
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(title.c_str(), GTK_WINDOW(window_),
                                                                GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_OK", nullptr);
    const std::string& shown = form_.Folder_Path;
    if (!shown.empty() && g_file_test(shown.c_str(), G_FILE_TEST_IS_DIR))
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), shown.c_str());
    else if (const gchar* home = g_get_home_dir(); home != nullptr)
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), home);
    return runChooser(chooser);
}

std::optional<std::string> SettingsWindow::openFile(std::string_view filterName, std::string_view patterns,
                                                    std::string_view title)
{
    const std::string caption(title);
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(caption.c_str(), GTK_WINDOW(window_),
                                                                GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, std::string(filterName).c_str());
    // "*.MP3;*.WAV": each pattern as written and in lower case (GTK's patterns heed case).
    std::size_t start = 0;
    while (start <= patterns.size()) {
        const std::size_t end = std::min(patterns.find(';', start), patterns.size());
        std::string pattern(patterns.substr(start, end - start));
        if (!pattern.empty()) {
            gtk_file_filter_add_pattern(filter, pattern.c_str());
            std::transform(pattern.begin(), pattern.end(), pattern.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
            gtk_file_filter_add_pattern(filter, pattern.c_str());
        }
        start = end + 1;
    }
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter); // the chooser owns it
    return runChooser(chooser);
}

void SettingsWindow::endProgram()
{
    closed_ = true;
    if (window_ != nullptr) {
        GtkWidget* window = window_;
        window_ = nullptr;
        gtk_widget_destroy(window);
    }
}

} // namespace

bool runSettingsWindow(StartupState& state, const SettingsLocation& location, VideoBackend backend,
                       std::ostream& messages)
{
    // Left to itself GTK takes the compositor whenever there is one, even when --display or
    // --backend x11 sent this run to an X server: the window would open where no second
    // instance looks for it.
    const char* const gdkBackend = backend == VideoBackend::Wayland ? "wayland"
                                   : backend == VideoBackend::X11   ? "x11"
                                                                    : nullptr;
    if (gdkBackend != nullptr && std::getenv("GDK_BACKEND") == nullptr)
        gdk_set_allowed_backends(gdkBackend);
    if (!gtk_init_check(nullptr, nullptr)) {
        messages << "velmora: cannot open the settings window: no display\n";
        return false;
    }
    SettingsWindow window(state, location);
    window.run();
    // Let the display see the window go before the process ends.
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
    return true;
}

} // namespace velmora::shell
