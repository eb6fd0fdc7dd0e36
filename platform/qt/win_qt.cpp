// Qt6 Widgets backend of the window layer.
//
// The layer's model (platform/win_internal.h) stays the truth; this file is
// a view of it. Each window handle has one widget: a main window is a
// QMainWindow whose central widget is the client area (the program's
// background colour, controls placed at absolute pixel positions), a dialog is
// a modeless QDialog, and each control kind has its widget. The layer calls
// the view on the GUI thread whenever the model changed; the view copies the
// window's state and brings the widget in line. The operator's clicks, typing,
// menu choices, moves, resizes and closes go back through the layer's ev_*
// functions, which deliver the messages to the program's window procedure.
//
// Radio buttons and check boxes are not automatic: their nextCheckState does
// nothing, so a click only sends the command and the program sets the mark.
//
// The event loop: a LoopBackend whose wake() (any thread) queues a call onto
// the GUI thread that runs loop_dispatch_due and re-arms one precise
// single-shot QTimer for the delay it returns. Modal boxes run a nested Qt
// event loop, so timers and posted calls keep running while a box is open.
// win_pump_until sleeps in a nested event loop that each dispatch ends, so
// its predicate is looked at again after every loop event (and every 50 ms).
//
// Sections: text conversion; widgets; the view (creation, sync, menus, tree,
// dialogs); the loop backend; selection of the backend.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#ifdef VQ_HAVE_QT_SVG
#include <QSvgRenderer>
#endif
#include <QTimer>
#include <QTreeWidget>
#include <QValidator>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <utility>

#include "platform/cp1252.h"
#include "platform/loop.h"
#include "platform/win_internal.h"

namespace plat {

using namespace winimpl;

namespace {

// ---------------------------------------------------------------- text conversion

QString qs(const std::string &text) {
    QString s;
    s.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text)
        s.append(QChar(static_cast<char16_t>(cp1252_to_ucs(static_cast<uint8_t>(c)))));
    return s;
}

std::string cp(const QString &s) {
    std::string out;
    out.reserve(static_cast<size_t>(s.size()));
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            out += '?';
            ++i;
            continue;
        }
        const int b = cp1252_from_ucs(c.unicode());
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

// Memo texts use CR LF between lines; the widget wants LF.
QString memo_text(const std::string &text) {
    QString s = qs(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

QFont font_of(WinFont f) {
    QFont font = QApplication::font();
    if (f == WIN_FONT_SMALL) {
        // A small, narrow sans face: the layout was made for a classic 8-point
        // dialog font, and the common Linux sans faces run wider.
        font.setPixelSize(11);
        font.setStretch(QFont::SemiCondensed);
    }
    return font;
}

// ---------------------------------------------------------------- widgets

class MainWin : public QMainWindow {
public:
    explicit MainWin(int hwnd) : hwnd_(hwnd) {}
    bool building = true;  // no events to the layer while the view sets it up

protected:
    void closeEvent(QCloseEvent *e) override {
        e->ignore();
        ev_close(hwnd_);
    }
    void moveEvent(QMoveEvent *e) override {
        QMainWindow::moveEvent(e);
        if (!building) ev_moved(hwnd_, x(), y());
    }

private:
    int hwnd_;
};

class Client : public QWidget {
public:
    Client(int hwnd, MainWin *win) : QWidget(win), hwnd_(hwnd), win_(win) {}

protected:
    void resizeEvent(QResizeEvent *e) override {
        QWidget::resizeEvent(e);
        if (!win_->building) ev_resized(hwnd_, width(), height());
    }

private:
    int hwnd_;
    MainWin *win_;
};

class Dialog : public QDialog {
public:
    Dialog(int hwnd, QWidget *owner) : QDialog(owner), hwnd_(hwnd) {}

protected:
    void closeEvent(QCloseEvent *e) override {
        e->ignore();
        ev_close(hwnd_);
    }
    void reject() override { ev_close(hwnd_); }  // Escape closes as the caption box does

private:
    int hwnd_;
};

class NoAutoRadio : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override {}
};

class NoAutoCheck : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
};

// Limits what is typed, not what the program sets: a text already longer than
// the limit may still shrink.
class LimitValidator : public QValidator {
public:
    LimitValidator(QLineEdit *edit, int limit)
        : QValidator(edit), limit(limit), prev(edit->text().size()) {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString &t) { prev = t.size(); });
    }
    State validate(QString &s, int &) const override {
        return (s.size() <= limit || s.size() < prev) ? Acceptable : Invalid;
    }
    int limit;

private:
    qsizetype prev;
};

// ---------------------------------------------------------------- the view

// The nested loop a win_pump_until sleeps in now, if any (GUI thread only):
// every dispatch ends it, so that its caller looks at its predicate again.
// Kept outside the view, which a call run by the loop may delete.
QEventLoop *pump_waiter = nullptr;

class QtLoop : public LoopBackend {
public:
    explicit QtLoop(QObject *ctx) : ctx_(ctx), timer_(new QTimer(ctx)) {
        timer_->setSingleShot(true);
        timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_, &QTimer::timeout, ctx_, [this] { dispatch(); });
    }
    // One backend per view: its timer and queued calls point back at it.
    QtLoop(const QtLoop &) = delete;
    QtLoop &operator=(const QtLoop &) = delete;
    void wake() override {
        if (pending_.exchange(true)) return;
        QMetaObject::invokeMethod(
            ctx_,
            [this] {
                pending_ = false;
                dispatch();
            },
            Qt::QueuedConnection);
    }

private:
    void dispatch() {
        // A call run here may shut the layer down and delete the view (and so
        // this backend): then nothing of it is touched afterwards.
        const QPointer<QObject> alive(ctx_);
        const int delay = loop_dispatch_due();
        if (pump_waiter) pump_waiter->quit();
        if (!alive) return;
        if (delay < 0)
            timer_->stop();
        else
            timer_->start(delay);
    }
    QObject *ctx_;
    QTimer *timer_;
    std::atomic<bool> pending_{false};
};

struct MenuState {
    std::vector<QPointer<QAction>> actions;  // by model node index; null for popups and separators
    std::vector<QPointer<QObject>> owned;    // menus and actions to delete on reload
};

class QtView : public View {
public:
    QtView() : ctx_(new QObject), loop(ctx_) {}
    ~QtView() override { delete ctx_; }
    // The view owns ctx_: a copy would delete it twice.
    QtView(const QtView &) = delete;
    QtView &operator=(const QtView &) = delete;

    QObject *ctx_;
    QtLoop loop;

    // -------------------------------------------- creation and destruction

    void created(int hwnd) override {
        Window w;
        if (!snapshot(hwnd, &w) || widgets_.count(hwnd)) return;
        QWidget *widget = nullptr;
        switch (w.kind) {
        case WIN_MAIN: widget = make_main(w); break;
        case WIN_DIALOG: widget = make_dialog(w); break;
        default: widget = make_control(w); break;
        }
        if (!widget) return;
        widgets_[hwnd] = widget;
        sync(hwnd, w, true);
        if (w.kind == WIN_TREE)
            for (const TreeItem &it : w.items) tree_added(hwnd, it);
        if (w.kind == WIN_MAIN) {
            auto *mw = static_cast<MainWin *>(widget);
            mw->building = false;
            // Report where the window really ended up, after the creation message.
            QMetaObject::invokeMethod(
                mw,
                [hwnd, mw] {
                    ev_moved(hwnd, mw->x(), mw->y());
                    if (QWidget *c = mw->centralWidget()) ev_resized(hwnd, c->width(), c->height());
                },
                Qt::QueuedConnection);
        }
    }

    void destroyed(int hwnd) override {
        auto it = widgets_.find(hwnd);
        if (it == widgets_.end()) return;
        QPointer<QWidget> w = it->second;
        widgets_.erase(it);
        trees_.erase(hwnd);
        if (auto m = menus_.find(hwnd); m != menus_.end()) {
            for (auto &o : m->second.owned)
                if (o) o->deleteLater();
            menus_.erase(m);
        }
        if (!w) return;
        // Later: the widget may be the one whose signal is being handled now.
        w->disconnect();
        w->hide();
        w->deleteLater();
    }

    // -------------------------------------------- state

    void changed(int hwnd) override {
        Window w;
        if (snapshot(hwnd, &w)) sync(hwnd, w, false);
    }

    void raise(int hwnd) override {
        QWidget *w = widget(hwnd);
        if (!w) return;
        if (QWidget *owner = w->parentWidget(); owner && owner->isMinimized()) owner->showNormal();
        if (w->isMinimized()) w->showNormal();
        w->show();
        w->raise();
        w->activateWindow();
    }

    // -------------------------------------------- menus

    void menu_loaded(int hwnd) override {
        auto *mw = dynamic_cast<MainWin *>(widget(hwnd));
        if (!mw) return;
        Window w;
        if (!snapshot(hwnd, &w)) return;
        MenuState &ms = menus_[hwnd];
        mw->menuBar()->clear();
        for (auto &o : ms.owned)
            if (o) o->deleteLater();
        ms = MenuState{};
        std::vector<QWidget *> stack{mw->menuBar()};
        for (size_t i = 0; i < w.menu.size(); ++i) {
            const MenuNode &n = w.menu[i];
            ms.actions.emplace_back();
            if (n.level + 1 > static_cast<int>(stack.size())) continue;  // malformed: skip
            stack.resize(static_cast<size_t>(n.level) + 1);
            QWidget *container = stack.back();
            auto *bar = dynamic_cast<QMenuBar *>(container);
            auto *menu = dynamic_cast<QMenu *>(container);
            if (n.kind == WIN_MENU_POPUP) {
                auto *sub = new QMenu(qs(n.caption), mw);
                ms.owned.emplace_back(sub);
                if (bar)
                    bar->addMenu(sub);
                else
                    menu->addMenu(sub);
                stack.push_back(sub);
            } else if (n.kind == WIN_MENU_SEPARATOR) {
                if (bar)
                    bar->addSeparator();
                else
                    menu->addSeparator();
            } else {
                auto *a = new QAction(qs(n.caption), mw);
                ms.owned.emplace_back(a);
                container->addAction(a);
                const int id = n.id;
                QObject::connect(a, &QAction::triggered, mw, [this, hwnd, id] {
                    ev_menu(hwnd, id);
                    menu_marks(hwnd);  // a checkable action toggled itself: the model decides
                });
                ms.actions.back() = a;
            }
        }
        mw->menuBar()->setVisible(!w.menu.empty());
        menu_marks(hwnd);
    }

    void menu_marks(int hwnd) override {
        auto m = menus_.find(hwnd);
        Window w;
        if (m == menus_.end() || !snapshot(hwnd, &w)) return;
        for (size_t i = 0; i < w.menu.size() && i < m->second.actions.size(); ++i) {
            QAction *a = m->second.actions[i];
            if (!a) continue;
            const QSignalBlocker block(a);
            a->setCheckable(w.menu[i].checked);
            a->setChecked(w.menu[i].checked);
            a->setEnabled(w.menu[i].enabled);
        }
    }

    bool click_menu(int hwnd, int id) override {
        auto m = menus_.find(hwnd);
        Window w;
        if (m == menus_.end() || !snapshot(hwnd, &w)) return false;
        for (size_t i = 0; i < w.menu.size() && i < m->second.actions.size(); ++i)
            if (w.menu[i].kind == WIN_MENU_ITEM && w.menu[i].id == id && m->second.actions[i]) {
                m->second.actions[i]->trigger();
                return true;
            }
        return false;
    }

    // -------------------------------------------- tree

    void tree_added(int tree, TreeItem item) override {
        auto *tw = dynamic_cast<QTreeWidget *>(widget(tree));
        if (!tw) return;
        auto &items = trees_[tree];
        if (items.count(item.id)) return;  // already built from the model
        auto *qi = new QTreeWidgetItem(QStringList{qs(item.text)});
        qi->setData(0, Qt::UserRole, item.id);
        if (item.parent == 0) {
            tw->addTopLevelItem(qi);
        } else {
            auto p = items.find(item.parent);
            if (p == items.end()) {
                delete qi;
                return;
            }
            p->second->addChild(qi);
        }
        items[item.id] = qi;
        const QSignalBlocker block(tw);
        qi->setExpanded(item.expanded);
    }

    void tree_cleared(int tree) override {
        auto *tw = dynamic_cast<QTreeWidget *>(widget(tree));
        if (!tw) return;
        const QSignalBlocker block(tw);
        tw->clear();
        trees_[tree].clear();
    }

    void tree_expanded(int tree, int item, bool on) override {
        QTreeWidgetItem *qi = tree_item(tree, item);
        if (!qi) return;
        const QSignalBlocker block(qi->treeWidget());
        qi->setExpanded(on);
    }

    void tree_selected(int tree, int item) override {
        auto *tw = dynamic_cast<QTreeWidget *>(widget(tree));
        if (!tw) return;
        const QSignalBlocker block(tw);
        QTreeWidgetItem *qi = tree_item(tree, item);
        tw->setCurrentItem(qi);
        if (!qi) tw->clearSelection();
    }

    // -------------------------------------------- operator actions for tests

    bool click(int hwnd) override {
        auto *b = dynamic_cast<QAbstractButton *>(widget(hwnd));
        if (!b) return false;
        b->click();
        return true;
    }

    bool type_text(int hwnd, const std::string &text) override {
        auto *e = dynamic_cast<QLineEdit *>(widget(hwnd));
        if (!e) return false;
        e->setFocus();
        e->selectAll();
        if (text.empty()) e->backspace();
        for (QChar c : qs(text)) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(e, &press);
            QApplication::sendEvent(e, &release);
        }
        // Whatever the key path did, the model ends with the widget's text.
        if (cp(e->text()) != win_text(hwnd)) ev_text_edited(hwnd, cp(e->text()));
        return true;
    }

    // -------------------------------------------- modal dialogs

    WinAnswer box(const WinBoxRecord &rec, WinAnswer scripted) override {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        switch (rec.icon) {
        case WIN_ICON_STOP: icon = QMessageBox::Critical; break;
        case WIN_ICON_QUESTION: icon = QMessageBox::Question; break;
        case WIN_ICON_EXCLAMATION: icon = QMessageBox::Warning; break;
        default: break;
        }
        const bool yesno = rec.buttons == WIN_BOX_YESNO;
        QMessageBox mb(icon, qs(rec.caption), qs(rec.body),
                       yesno ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                       top_widget(rec.owner));
        mb.setEscapeButton(yesno ? QMessageBox::No : QMessageBox::Ok);
        if (scripted != WIN_ANSWER_NONE) {
            // A scripted answer presses its button once the box runs.
            const QMessageBox::StandardButton which = scripted == WIN_ANSWER_YES  ? QMessageBox::Yes
                                                      : scripted == WIN_ANSWER_NO ? QMessageBox::No
                                                                                  : QMessageBox::Ok;
            QTimer::singleShot(0, &mb, [&mb, which] {
                if (QAbstractButton *b = mb.button(which)) b->click();
            });
        }
        mb.exec();
        QAbstractButton *clicked = mb.clickedButton();
        if (!yesno) return WIN_ANSWER_OK;
        return clicked == mb.button(QMessageBox::Yes) ? WIN_ANSWER_YES : WIN_ANSWER_NO;
    }

    int open_file(const WinOpenFileArgs &args, std::string *path) override {
        QFileDialog dlg(top_widget(args.owner), qs(args.title));
        dlg.setFileMode(args.must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        QStringList filters;
        for (size_t i = 0; i + 1 < args.filters.size(); i += 2) {
            // "*.*" means every file here, as the program's users know it.
            QString pattern = qs(args.filters[i + 1]);
            pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
            pattern.replace(QChar(';'), QChar(' '));
            filters << qs(args.filters[i]) + QStringLiteral(" (") + pattern + QStringLiteral(")");
        }
        if (!filters.isEmpty()) {
            dlg.setNameFilters(filters);
            const int ix = args.filter_index >= 0 && args.filter_index < filters.size()
                               ? args.filter_index
                               : 0;
            dlg.selectNameFilter(filters[ix]);
        }
        if (const std::string ext = bare_ext(args.def_ext); !ext.empty())
            dlg.setDefaultSuffix(qs(ext));
        if (!args.start_name.empty() && args.start_name.find('*') == std::string::npos)
            dlg.selectFile(qs(args.start_name));
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return WIN_OPEN_CANCEL;
        *path = cp(dlg.selectedFiles().first());
        return WIN_OPEN_CHOSEN;
    }

    bool save_png(int hwnd, const char *path) override {
        QWidget *w = widget(hwnd);
        if (!w) return false;
        return w->grab().save(QString::fromLocal8Bit(path), "PNG");
    }

    void screen_size(int *w, int *h) override {
        const QScreen *s = QGuiApplication::primaryScreen();
        if (!s) return;
        const QRect r = s->availableGeometry();
        *w = r.width();
        *h = r.height() - QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    }

    // -------------------------------------------- loop

    int run() override { return QApplication::exec(); }

    void quit(int code) override {
        QMetaObject::invokeMethod(
            ctx_, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    }

    bool pump_until(const std::function<bool()> &done, int timeout_ms) override {
        // A predicate may watch state that changes without a loop event (a
        // worker's flag, a widget); it is looked at again after this long.
        constexpr qint64 recheck_ms = 50;
        QElapsedTimer t;
        t.start();
        while (!done()) {
            qint64 wait = recheck_ms;
            if (timeout_ms >= 0) {
                const qint64 left = timeout_ms - t.elapsed();
                if (left <= 0) return done();
                wait = std::min(wait, left);
            }
            QEventLoop nested;
            QTimer::singleShot(static_cast<int>(wait), Qt::PreciseTimer, &nested,
                               &QEventLoop::quit);
            QEventLoop *outer = std::exchange(pump_waiter, &nested);
            nested.exec();
            pump_waiter = outer;
        }
        return true;
    }

    // Detaches from the loop, drops the widgets and deletes this view; the
    // QApplication stays for a later win_use_qt.
    void shutdown() override {
        loop_set_backend(nullptr);
        for (auto &[h, w] : widgets_)
            if (w) w->deleteLater();
        widgets_.clear();
        trees_.clear();
        menus_.clear();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete this;
    }

private:
    std::map<int, QPointer<QWidget>> widgets_;
    std::map<int, std::map<int, QTreeWidgetItem *>> trees_;
    std::map<int, MenuState> menus_;

    QWidget *widget(int hwnd) {
        auto it = widgets_.find(hwnd);
        return it == widgets_.end() ? nullptr : it->second.data();
    }

    // The window a box is owned by: the top-level widget of `hwnd`.
    QWidget *top_widget(int hwnd) {
        QWidget *w = widget(hwnd);
        return w ? w->window() : nullptr;
    }

    // Where the controls of `hwnd` live: the client area or the dialog itself.
    QWidget *container(int hwnd) {
        QWidget *w = widget(hwnd);
        if (auto *mw = dynamic_cast<MainWin *>(w)) return mw->centralWidget();
        return w;
    }

    QTreeWidgetItem *tree_item(int tree, int item) {
        auto t = trees_.find(tree);
        if (t == trees_.end()) return nullptr;
        auto it = t->second.find(item);
        return it == t->second.end() ? nullptr : it->second;
    }

    QWidget *make_main(const Window &w) {
        auto *mw = new MainWin(w.hwnd);
        mw->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint);
        auto *client = new Client(w.hwnd, mw);
        QPalette pal = client->palette();
        pal.setColor(QPalette::Window, QColor((w.background >> 16) & 0xFF,
                                              (w.background >> 8) & 0xFF, w.background & 0xFF));
        client->setPalette(pal);
        client->setAutoFillBackground(true);
        mw->setCentralWidget(client);
        widgets_[w.hwnd] = mw;  // menu_loaded looks it up
        menu_loaded(w.hwnd);
        return mw;
    }

    QWidget *make_dialog(const Window &w) {
        auto *d = new Dialog(w.hwnd, top_widget(w.parent));
        d->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint);
        d->setModal(false);
        return d;
    }

    QWidget *make_control(const Window &w) {
        QWidget *parent = container(w.parent);
        if (!parent) return nullptr;
        const int h = w.hwnd;
        QWidget *c = nullptr;
        switch (w.kind) {
        case WIN_BUTTON: c = new QPushButton(parent); break;
        case WIN_STATIC: {
            auto *l = new QLabel(parent);
            l->setWordWrap(true);
            l->setTextFormat(Qt::PlainText);
            l->setAlignment(((w.flags & WIN_FLAG_RIGHT) ? Qt::AlignRight : Qt::AlignLeft) |
                            Qt::AlignTop);
            if (w.flags & WIN_FLAG_SUNKEN) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            c = l;
            break;
        }
        case WIN_GROUP: c = new QGroupBox(parent); break;
        case WIN_RADIO: {
            auto *r = new NoAutoRadio(parent);
            r->setAutoExclusive(false);
            c = r;
            break;
        }
        case WIN_CHECK: c = new NoAutoCheck(parent); break;
        case WIN_EDIT: {
            auto *e = new QLineEdit(parent);
            if (w.flags & WIN_FLAG_RIGHT) e->setAlignment(Qt::AlignRight);
            e->setValidator(new LimitValidator(e, w.limit));
            QObject::connect(e, &QLineEdit::textEdited, e,
                             [h](const QString &t) { ev_text_edited(h, cp(t)); });
            c = e;
            break;
        }
        case WIN_MEMO: {
            auto *m = new QPlainTextEdit(parent);
            m->setReadOnly(true);
            m->setLineWrapMode(QPlainTextEdit::NoWrap);
            m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            c = m;
            break;
        }
        case WIN_TREE: {
            auto *t = new QTreeWidget(parent);
            t->setHeaderHidden(true);
            t->setRootIsDecorated(true);
            t->setColumnCount(1);
            t->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            t->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            QObject::connect(t, &QTreeWidget::currentItemChanged, t,
                             [h](QTreeWidgetItem *cur, QTreeWidgetItem *) {
                                 ev_tree_selected(h, cur ? cur->data(0, Qt::UserRole).toInt() : 0);
                             });
            QObject::connect(t, &QTreeWidget::itemExpanded, t, [h](QTreeWidgetItem *it) {
                ev_tree_expanded(h, it->data(0, Qt::UserRole).toInt(), true);
            });
            QObject::connect(t, &QTreeWidget::itemCollapsed, t, [h](QTreeWidgetItem *it) {
                ev_tree_expanded(h, it->data(0, Qt::UserRole).toInt(), false);
            });
            c = t;
            break;
        }
        case WIN_PROGRESS: {
            auto *p = new QProgressBar(parent);
            p->setTextVisible(false);
            c = p;
            break;
        }
        default: return nullptr;
        }
        // Buttons, radios and check boxes: a click sends the command.
        if (auto *b = dynamic_cast<QAbstractButton *>(c))
            QObject::connect(b, &QAbstractButton::clicked, b, [h] { ev_clicked(h); });
        c->raise();  // later controls stand above earlier ones (group boxes, background)
        return c;
    }

    // Brings the widget of `hwnd` in line with the model state `w`.
    void sync(int hwnd, const Window &w, bool first) {
        QWidget *wid = widget(hwnd);
        if (!wid) return;
        if (wid->isEnabled() != w.enabled) wid->setEnabled(w.enabled);
        if (first || wid->font() != font_of(w.font)) wid->setFont(font_of(w.font));
        if (auto *mw = dynamic_cast<MainWin *>(wid)) {
            if (mw->windowTitle() != qs(w.text)) mw->setWindowTitle(qs(w.text));
            const int menu_h =
                mw->menuBar()->isVisibleTo(mw) ? mw->menuBar()->sizeHint().height() : 0;
            if (mw->pos() != QPoint(w.x, w.y)) mw->move(w.x, w.y);
            QWidget *client = mw->centralWidget();
            if (first || client->size() != QSize(w.w, w.h)) mw->resize(w.w, w.h + menu_h);
            if (mw->isVisible() != w.visible) mw->setVisible(w.visible);
            return;
        }
        if (auto *d = dynamic_cast<Dialog *>(wid)) {
            if (d->windowTitle() != qs(w.text)) d->setWindowTitle(qs(w.text));
            // Qt places a dialog over its owner; only its size is the program's.
            if (d->size() != QSize(w.w, w.h)) d->setFixedSize(w.w, w.h);
            if (d->isVisible() != w.visible) d->setVisible(w.visible);
            return;
        }
        const QString text = qs(w.text);
        if (auto *l = dynamic_cast<QLabel *>(wid)) {
            if (l->text() != text) l->setText(text);
        } else if (auto *g = dynamic_cast<QGroupBox *>(wid)) {
            if (g->title() != text) g->setTitle(text);
        } else if (auto *e = dynamic_cast<QLineEdit *>(wid)) {
            if (e->text() != text) e->setText(text);
            if (auto *v = dynamic_cast<LimitValidator *>(const_cast<QValidator *>(e->validator())))
                v->limit = w.limit;
        } else if (auto *m = dynamic_cast<QPlainTextEdit *>(wid)) {
            const QString mt = memo_text(w.text);
            if (m->toPlainText() != mt) {
                m->setPlainText(mt);
                m->verticalScrollBar()->setValue(m->verticalScrollBar()->maximum());
            }
        } else if (auto *b = dynamic_cast<QAbstractButton *>(wid)) {
            if (b->text() != text) b->setText(text);
            if ((w.kind == WIN_RADIO || w.kind == WIN_CHECK) && b->isChecked() != (w.checked != 0))
                b->setChecked(w.checked != 0);
        } else if (auto *p = dynamic_cast<QProgressBar *>(wid)) {
            if (p->minimum() != w.pmin || p->maximum() != w.pmax) p->setRange(w.pmin, w.pmax);
            if (p->value() != w.ppos) p->setValue(w.ppos);
        }
        if (const QString tip = qs(w.tooltip); wid->toolTip() != tip) wid->setToolTip(tip);
        if (wid->geometry() != QRect(w.x, w.y, w.w, w.h)) wid->setGeometry(w.x, w.y, w.w, w.h);
        if (wid->isVisibleTo(wid->parentWidget()) != w.visible || first) wid->setVisible(w.visible);
    }
};

}  // namespace

bool win_set_app_icon(const char *desktop_name, const char *svg) {
    // Pixmaps need a GUI application, not a bare core one.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()) || !svg) return false;
    if (desktop_name && *desktop_name) QGuiApplication::setDesktopFileName(QString::fromUtf8(desktop_name));
#ifdef VQ_HAVE_QT_SVG
    // Drawn here rather than by the toolkit's SVG icon plug-in, which a
    // system may lack: the renderer comes with the library the program links.
    QSvgRenderer renderer{QByteArray(svg)};
    if (!renderer.isValid()) return false;
    QIcon icon;
    // A few sizes; the toolkit scales the nearest larger one for the rest.
    for (const int side : {16, 32, 64, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    QApplication::setWindowIcon(icon);
    return true;
#else
    return false;
#endif
}

bool win_use_qt(int &argc, char **argv) {
    if (win_is_qt()) return true;
    loop_init();
    if (!QCoreApplication::instance()) {
        const char *qpa = std::getenv("QT_QPA_PLATFORM");
        const bool has_display =
            (qpa && *qpa) || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
        if (!has_display) return false;
        new QApplication(argc, argv);  // lives until the process ends
    }
    QApplication::setQuitOnLastWindowClosed(false);
    // The registry holds the view from here; win_shutdown hands it its end.
    auto *view = new QtView;
    set_view(view);
    install_timer_handler();
    loop_set_backend(&view->loop);  // wakes it once: what was posted before runs now
    return true;
}

}  // namespace plat
