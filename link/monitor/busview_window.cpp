#include "link/monitor/busview_window.h"

#include <algorithm>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "link/control/about_box.h"
#include "link/driver/wendrel.h"
#include "link/monitor/frame_view.h"
#include "platform/platform.h"
#include "ui_filter_settings.h"
#include "ui_find_frames.h"
#include "ui_trigger_settings.h"

namespace fenwire {

namespace {

constexpr int kStatusHeight = 17;
constexpr char kTitle[] = " Busview for HART";


// The window is a plain widget with a menu bar of its own; to screen readers
// and window lists it is a frame with its title, as a main window is, not
// the anonymous filler a plain widget would be.
QAccessibleInterface* accessibleBusview(const QString& className, QObject* object) {
    auto* window = qobject_cast<QWidget*>(object);
    if (!window || className != QLatin1String(BusviewWindow::staticMetaObject.className())) return nullptr;
    return new QAccessibleWidget(window, QAccessible::Window);
}

void installAccessibleBusview() {
    static const bool installed = [] {
        QAccessible::installFactory(accessibleBusview);
        return true;
    }();
    (void)installed;
}

// The window this one opens over: the active one (the program's main window,
// whose menu opened it), else a main window that shows.
QWidget* anchorWindow(const QWidget* self) {
    QWidget* active = QApplication::activeWindow();
    if (active && active != self) return active;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top != self && top->isVisible() && qobject_cast<QMainWindow*>(top)) return top;
    return nullptr;
}

// The size and place of a window opened afresh: two thirds of the screen,
// centred over the window it opens from (or the screen), and wholly on it.
QRect firstPlace(const QWidget* anchor, const QScreen* screen) {
    const QRect area = screen->availableGeometry();
    QRect place(QPoint(0, 0), area.size() * 2 / 3);
    place.moveCenter(anchor ? anchor->frameGeometry().center() : area.center());
    place.moveLeft(std::clamp(place.left(), area.left(), area.right() + 1 - place.width()));
    place.moveTop(std::clamp(place.top(), area.top(), area.bottom() + 1 - place.height()));
    return place;
}

// A remembered place is used while enough of it is on some screen to grab.
bool reachable(const QRect& place) {
    constexpr int kGrabMargin = 40;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect visible = screen->availableGeometry().intersected(place);
        if (visible.width() >= kGrabMargin && visible.height() >= kGrabMargin &&
            visible.contains(QPoint(place.center().x(), place.top())))
            return true;
    }
    return false;
}

}  // namespace

BusviewWindow::BusviewWindow(wendrel::MessageTarget& monitorTarget, int32_t driverHandle)
    : QWidget(nullptr, Qt::Window),
      monitorTarget_(monitorTarget),
      driverHandle_(driverHandle),
      files_(BusviewFiles::in(QDir::currentPath())),
      core_(*this, loadBusviewSettings(files_.settings), loadCommandTexts(files_.commands)) {
    installAccessibleBusview();
    setObjectName(QStringLiteral("frmBusview"));
    setWindowTitle(QString::fromLatin1(kTitle));
    resize(614, 282);  // until open() places it

    view_ = new FrameView(core_.rows(), [this](const MonitorRow& row) { return core_.rowText(row); }, this);
    view_->setObjectName(QStringLiteral("txtFrames"));
    view_->setAccessibleName(QStringLiteral("Frames"));
    // The dropped-frames count follows the view, not every frame.
    connect(view_, &FrameView::refreshed, this, [this] { statusChanged(); });

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("lblStatus"));

    buildMenus();
    applyBackground();
    registerMonitor();
    recordingChanged(core_.recording());
    updateChecks();
    statusChanged();
}

BusviewWindow::~BusviewWindow() {
    unregisterMonitor();
    delete findDialog_;
    rememberGeometry();
    saveBusviewSettings(files_.settings, core_.settings());
}

// ---- menus -----------------------------------------------------------------

QAction* BusviewWindow::addItem(QMenu* menu, const QString& text, const char* objectName, int commandId,
                                std::function<void()> handler, bool checkable) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(objectName));
    a->setData(commandId);
    a->setCheckable(checkable);
    if (handler) connect(a, &QAction::triggered, this, [handler] { handler(); });
    else a->setEnabled(false);  // not available in this window yet
    return a;
}

void BusviewWindow::addViewOption(QMenu* menu, const QString& text, const char* objectName, int commandId,
                                  int BusviewSettings::*flag, bool checkShowsOff) {
    QAction* a = addItem(
        menu, text, objectName, commandId,
        [this, flag] {
            auto& v = core_.settings().*flag;
            v = v ? 0 : 1;
            if (flag == &BusviewSettings::white) applyBackground();
            updateChecks();
        },
        true);
    checks_.push_back({a, [this, flag, checkShowsOff] { return (core_.settings().*flag != 0) != checkShowsOff; }});
}

void BusviewWindow::buildMenus() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("mnuBusview"));
    menuBar_->setNativeMenuBar(false);

    QMenu* file = menuBar_->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    addItem(file, QStringLiteral("New"), "mnuNew", 32768, [this] { newView(); });
    addItem(file, QStringLiteral("Save to Frame File"), "mnuSaveFrameFile", 32784);
    addItem(file, QStringLiteral("Sa&ve Capture..."), "mnuSaveCapture", 0);
    addItem(file, QStringLiteral("Open Ca&pture..."), "mnuOpenCapture", 0);
    addItem(file, QStringLiteral("Open Log File"), "mnuOpenLogFile", 32770);
    addItem(file, QStringLiteral("Close Log File"), "mnuCloseLogFile", 32816);
    addItem(file, QStringLiteral("Load Script"), "mnuLoadScript", 32781);
    addItem(file, QStringLiteral("End"), "mnuEnd", 32785, [this] { userEnd(); });

    QMenu* edit = menuBar_->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    auto shortcut = [](QAction* a, QKeySequence::StandardKey key) {
        a->setShortcuts(key);
        a->setShortcutContext(Qt::WindowShortcut);
    };
    shortcut(addItem(edit, QStringLiteral("Copy"), "mnuCopy", 0, [this] { view_->copy(); }), QKeySequence::Copy);
    shortcut(addItem(edit, QStringLiteral("Select All"), "mnuSelectAll", 0, [this] { view_->selectAll(); }),
             QKeySequence::SelectAll);
    edit->addSeparator();
    shortcut(addItem(edit, QStringLiteral("Find..."), "mnuFind", 0, [this] { openFind(); }), QKeySequence::Find);
    shortcut(addItem(edit, QStringLiteral("Find Next"), "mnuFindNext", 0, [this] { find(true); }),
             QKeySequence::FindNext);
    shortcut(addItem(edit, QStringLiteral("Find Previous"), "mnuFindPrevious", 0, [this] { find(false); }),
             QKeySequence::FindPrevious);

    QMenu* view = menuBar_->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("mnuView"));
    addViewOption(view, QStringLiteral("Preambles"), "mnuPreambles", 32786, &BusviewSettings::noPreambles, true);
    addViewOption(view, QStringLiteral("Addressing"), "mnuAddressing", 32787, &BusviewSettings::noAddress, true);
    addViewOption(view, QStringLiteral("Cmd/Len/Rsp1 Decimal"), "mnuDecimal", 32788, &BusviewSettings::decimal, false);
    addViewOption(view, QStringLiteral("Timing"), "mnuTiming", 32789, &BusviewSettings::noTiming, true);
    addViewOption(view, QStringLiteral("Symbolic Commands"), "mnuSymbolicCommands", 32790, &BusviewSettings::symbCmd,
                  false);
    addViewOption(view, QStringLiteral("Real Data"), "mnuRealData", 32791, &BusviewSettings::realDat, false);
    addViewOption(view, QStringLiteral("Response 2 Binary"), "mnuResponse2Binary", 32792, &BusviewSettings::rsp2Bin,
                  false);

    QMenu* send = menuBar_->addMenu(QStringLiteral("Send"));
    send->setObjectName(QStringLiteral("mnuSend"));
    addItem(send, QStringLiteral("Stop"), "mnuSendStop", 32830);
    addItem(send, QStringLiteral("Cmd 0"), "mnuSendCmd0", 32817);
    static const char* const kSendNames[] = {"mnuSendCmd1", "mnuSendCmd2", "mnuSendCmd3"};
    for (int n = 1; n <= 3; ++n) addItem(send, QStringLiteral("Cmd %1").arg(n), kSendNames[n - 1], 32817 + n);
    static const char* const kSendNames12[] = {"mnuSendCmd12", "mnuSendCmd13", "mnuSendCmd14", "mnuSendCmd15",
                                               "mnuSendCmd16", "mnuSendCmd17", "mnuSendCmd18", "mnuSendCmd19"};
    for (int n = 12; n <= 19; ++n) addItem(send, QStringLiteral("Cmd %1").arg(n), kSendNames12[n - 12], 32821 + n - 12);
    addItem(send, QStringLiteral("Any Cmd"), "mnuSendAnyCmd", 32829);

    QMenu* pickMenu = menuBar_->addMenu(QStringLiteral("Pick"));
    pickMenu->setObjectName(QStringLiteral("mnuPick"));
    auto pickItem = [this](QMenu* m, const char* text, const char* name, int id, PickItem item) {
        addItem(m, QString::fromLatin1(text), name, id, [this, item] { pick(item); });
    };
    pickItem(pickMenu, "Int8", "mnuPickInt8", 32801, PickItem::Int8);
    pickItem(pickMenu, "Bin8", "mnuPickBin8", 32802, PickItem::Bin8);
    pickItem(pickMenu, "Unit", "mnuPickUnit", 32812, PickItem::Unit);
    pickItem(pickMenu, "Float", "mnuPickFloat", 32809, PickItem::Float);
    pickItem(pickMenu, "Packed ASCII", "mnuPickPackedASCII", 32810, PickItem::PackedAscii);
    pickItem(pickMenu, "String", "mnuPickString", 32811, PickItem::String);
    QMenu* integer = pickMenu->addMenu(QStringLiteral("Integer"));
    integer->setObjectName(QStringLiteral("mnuPickInteger"));
    pickItem(integer, "Int16", "mnuPickInt16", 32803, PickItem::Int16);
    pickItem(integer, "Int24", "mnuPickInt24", 32804, PickItem::Int24);
    pickItem(integer, "Int32", "mnuPickInt32", 32805, PickItem::Int32);
    pickItem(integer, "Hex16", "mnuPickHex16", 32806, PickItem::Hex16);
    pickItem(integer, "Hex24", "mnuPickHex24", 32807, PickItem::Hex24);
    pickItem(integer, "Hex32", "mnuPickHex32", 32808, PickItem::Hex32);

    QMenu* options = menuBar_->addMenu(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("mnuOptions"));
    QAction* lsb = addItem(
        options, QStringLiteral("LSB First"), "mnuLsbFirst", 32813,
        [this] {
            core_.lsbFirst = !core_.lsbFirst;
            updateChecks();
        },
        true);
    checks_.push_back({lsb, [this] { return core_.lsbFirst; }});
    addViewOption(options, QStringLiteral("White Background"), "mnuWhiteBackground", 32814, &BusviewSettings::white,
                  false);

    QMenu* filter = menuBar_->addMenu(QStringLiteral("Filter"));
    filter->setObjectName(QStringLiteral("mnuFilter"));
    addItem(filter, QStringLiteral("Configuration"), "mnuFilterConfiguration", 32796, [this] { configureFilter(); });
    QAction* filterOn = addItem(
        filter, QStringLiteral("Filter On"), "mnuFilterOn", 32795,
        [this] {
            core_.setFilterOn(!core_.filterOn());
            updateChecks();
        },
        true);
    checks_.push_back({filterOn, [this] { return core_.filterOn(); }});

    QMenu* trigger = menuBar_->addMenu(QStringLiteral("Trigger"));
    trigger->setObjectName(QStringLiteral("mnuTrigger"));
    addItem(trigger, QStringLiteral("Configuration"), "mnuTriggerConfiguration", 32797, [this] { configureTrigger(); });
    QAction* triggerOn = addItem(
        trigger, QStringLiteral("Trigger On"), "mnuTriggerOn", 32798,
        [this] {
            core_.setTriggerOn(!core_.triggerOn());
            updateChecks();
        },
        true);
    checks_.push_back({triggerOn, [this] { return core_.triggerOn(); }});

    QMenu* mode = menuBar_->addMenu(QStringLiteral("Mode"));
    mode->setObjectName(QStringLiteral("mnuMode"));
    QAction* monitor = addItem(
        mode, QStringLiteral("Monitor Frames"), "mnuMonitorFrames", 32799,
        [this] {
            core_.setRecording(!core_.recording());
            updateChecks();
        },
        true);
    checks_.push_back({monitor, [this] { return core_.recording(); }});
    addItem(mode, QStringLiteral("Run Script"), "mnuRunScript", 32800)->setCheckable(true);

    QMenu* print = menuBar_->addMenu(QStringLiteral("Print"));
    print->setObjectName(QStringLiteral("mnuPrint"));
    addItem(print, QStringLiteral("Print All"), "mnuPrintAll", 32777);
    addItem(print, QStringLiteral("Print Selection"), "mnuPrintSelection", 32778);
    addItem(print, QStringLiteral("Printer Configuration"), "mnuPrinterConfiguration", 32780);

    QMenu* info = menuBar_->addMenu(QStringLiteral("Info"));
    info->setObjectName(QStringLiteral("mnuInfo"));
    addItem(info, QStringLiteral("Help"), "mnuHelp", 32832, [] { platform::openHelp(QStringLiteral("Fenwire")); });
    addItem(info, QStringLiteral("About"), "mnuAbout", 32831, [this] { showAboutBox(this); });
}

QAction* BusviewWindow::action(const char* objectName) const {
    return findChild<QAction*>(QString::fromLatin1(objectName));
}

void BusviewWindow::updateChecks() {
    for (auto& [a, checked] : checks_) a->setChecked(checked());
}

void BusviewWindow::applyBackground() { view_->setWhiteBackground(core_.settings().white != 0); }

// ---- showing and layout ----------------------------------------------------

void BusviewWindow::open() {
    updateTitle();
    statusChanged();
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (!placed_) {
        const BusviewGeometry saved = loadBusviewGeometry(files_.settings);
        const QRect remembered(saved.left, saved.top, saved.width, saved.height);
        if (saved.valid() && reachable(remembered)) {
            setGeometry(remembered);
        } else {
            const QWidget* anchor = anchorWindow(this);
            const QScreen* shownOn = anchor ? anchor->screen() : QGuiApplication::primaryScreen();
            if (shownOn) setGeometry(firstPlace(anchor, shownOn));
        }
        placed_ = true;
    }
    platform::showModeless(*this);
}

void BusviewWindow::rememberGeometry() {
    if (!placed_) return;
    const QRect place = isMaximized() || isMinimized() || isFullScreen() ? normalGeometry() : geometry();
    if (place.isValid()) saveBusviewGeometry(files_.settings, {place.left(), place.top(), place.width(), place.height()});
}

void BusviewWindow::setTitleParts(const QString& scriptName, const QString& logName) {
    scriptName_ = scriptName;
    logName_ = logName;
    updateTitle();
}

void BusviewWindow::updateTitle() {
    QString title = QString::fromLatin1(kTitle);
    if (!scriptName_.isEmpty()) title += QStringLiteral("[SEQ: ") + scriptName_;
    if (!logName_.isEmpty()) {
        if (!scriptName_.isEmpty()) title += QStringLiteral("] / ");
        title += QStringLiteral("[LOG: ") + logName_;
    }
    if (!scriptName_.isEmpty() || !logName_.isEmpty()) title += QStringLiteral("]");
    setWindowTitle(title);
}

void BusviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isMinimized()) return;
    const int top = menuBar_->sizeHint().height();
    menuBar_->setGeometry(0, 0, width(), top);
    const int h = height() - top;
    view_->setGeometry(1, top, std::max(0, width() - 1), std::max(0, h - 21));
    status_->setGeometry(1, top + h - 19, std::max(0, width() - 2), kStatusHeight);
}

QString BusviewWindow::statusText() const { return status_->text(); }

void BusviewWindow::statusChanged() {
    status_->setText(QString::fromStdString(core_.statusLine(driverHandle_)));
}

// ---- driver and frames -----------------------------------------------------

void BusviewWindow::registerMonitor() {
    if (driverHandle_ == -1) return;
    registered_ = wendrel::RegisterLLMonitor(driverHandle_, &monitorTarget_, wendrel::WM_HART_MONITOR) == 0;
}

void BusviewWindow::unregisterMonitor() {
    if (registered_ && !(monitorShared && monitorShared())) wendrel::UnRegisterLLMonitor(driverHandle_);
    registered_ = false;
}

void BusviewWindow::setDriverHandle(int32_t handle) {
    unregisterMonitor();
    driverHandle_ = handle;
    registerMonitor();
    statusChanged();
}

void BusviewWindow::onFrameMessage(intptr_t wParam, intptr_t lParam) {
    const wendrel::MonitorRecord record = wendrel::ReadMonitorRecord(lParam);
    if (active_) core_.onFrame(record.bytes, record.count, static_cast<int>(wParam), record.timeMs);
    wendrel::FreeMonitorRecord(lParam);
}

// ---- the text area ---------------------------------------------------------

void BusviewWindow::append(const MonitorText& line) {
    // The view catches up at its next update; the log takes every line now.
    view_->rowsChanged();
    if (onAppended) onAppended(line.text);
}

void BusviewWindow::rowsCleared() {
    if (!core_.showingCapture()) capture_.clear();
    view_->rowsCleared();
}

void BusviewWindow::showCapture(std::vector<CaptureFrame> frames, const std::string& name) {
    core_.showCapture(MonitorFramesOf(frames, core_.texts(), core_.lineOptions()), name);
    capture_ = std::move(frames);
    view_->refresh();
    updateChecks();
    statusChanged();
}

std::vector<CaptureFrame> BusviewWindow::captureFrames() const {
    view_->refresh();  // rows that came since the last update count too
    const MonitorRows& rows = core_.rows();
    uint64_t first = rows.firstId();
    uint64_t end = rows.endId();
    if (const auto selected = view_->selectedRows()) std::tie(first, end) = *selected;
    std::vector<CaptureFrame> frames;
    for (uint64_t id = first; id < end; ++id) {
        if (core_.showingCapture()) {
            if (id < capture_.size()) frames.push_back(capture_[static_cast<size_t>(id)]);
            continue;
        }
        const MonitorRow& row = rows.row(id);
        if (row.kind == MonitorRow::Kind::Frame) frames.push_back(CaptureFrameOf(row.frame, core_.texts()));
    }
    return frames;
}

void BusviewWindow::recordingChanged(bool) {
    // Text can be selected while recording too: the view then stops following
    // the newest frame, so the selection stays where it is.
    updateChecks();
}

void BusviewWindow::newView() {
    core_.restart();
    view_->rowsCleared();
    updateChecks();
}

// ---- dialogs ---------------------------------------------------------------

void BusviewWindow::runModal(QDialog& dialog) {
    view_->setUpdatesEnabled(false);
    platform::showModal(dialog);
    view_->moveToEnd();
    view_->setUpdatesEnabled(true);
}

void BusviewWindow::configureFilter() {
    QDialog dialog(this);
    Ui::FilterSettings ui;
    ui.setupUi(&dialog);
    auto& s = core_.settings();
    ui.txtCmdList->setText(QString::fromStdString(s.cmdList));
    QRadioButton* radios[] = {ui.rdoShowSpecified, ui.rdoHideSpecified, ui.rdoTriggerEventsOnly};
    radios[std::clamp(s.filterMode, 0, 2)]->setChecked(true);
    connect(&dialog, &QDialog::accepted, this, [&] {
        int mode = 0;
        for (int i = 0; i < 3; ++i)
            if (radios[i]->isChecked()) mode = i;
        core_.setFilter(ui.txtCmdList->text().toStdString(), mode);
    });
    runModal(dialog);
}

void BusviewWindow::configureTrigger() {
    QDialog dialog(this);
    Ui::TriggerSettings ui;
    ui.setupUi(&dialog);
    auto& s = core_.settings();
    const std::pair<QCheckBox*, int BusviewSettings::*> boxes[] = {
        {ui.chkCommandsNoMatch, &BusviewSettings::trigOnNoMatchCmd},
        {ui.chkMastersNoMatch, &BusviewSettings::trigOnNoMatchMaster},
        {ui.chkDeviceNotPresent, &BusviewSettings::trigOnDevNotPresent},
        {ui.chkAllErrors, &BusviewSettings::trigOnAllErr},
        {ui.chkStopRecording, &BusviewSettings::stopOnTrigger},
    };
    for (const auto& [box, field] : boxes) box->setChecked(s.*field != 0);
    connect(&dialog, &QDialog::accepted, this, [&] {
        for (const auto& [box, field] : boxes) s.*field = box->isChecked() ? 1 : 0;
    });
    runModal(dialog);
}

void BusviewWindow::pick(PickItem item) {
    const PickMessage m = Pick(item, view_->selectedText(), core_.lsbFirst);
    platform::MsgBox(QString::fromStdString(m.text), platform::vbOKOnly,
                     m.decoded ? platform::vbInformation : platform::vbExclamation, QString::fromStdString(m.title));
}

// ---- Find ------------------------------------------------------------------

void BusviewWindow::openFind() {
    if (findDialog_ == nullptr) {
        // Modeless, beside the monitor: frames keep coming while it is open.
        findDialog_ = new QDialog(this);
        findUi_ = std::make_unique<Ui::FindFrames>();
        findUi_->setupUi(findDialog_);
        connect(findUi_->btnFindNext, &QPushButton::clicked, this, [this] { find(true); });
        connect(findUi_->btnFindPrevious, &QPushButton::clicked, this, [this] { find(false); });
    }
    findUi_->lblFindResult->clear();
    platform::showModeless(*findDialog_);
    findUi_->txtFindWhat->setFocus();
    findUi_->txtFindWhat->selectAll();
}

void BusviewWindow::find(bool forward) {
    if (findDialog_ == nullptr || findUi_->txtFindWhat->text().isEmpty()) return openFind();
    const std::string typed = findUi_->txtFindWhat->text().toStdString();
    std::optional<FindQuery> query;
    if (findUi_->chkCommandNumber->isChecked()) {
        query = CommandQuery(typed);
        if (!query) {
            findUi_->lblFindResult->setText(QStringLiteral("Not a command number (0 to 255) or a list of them."));
            return;
        }
    } else {
        query = FindQuery{false, typed, {}};
    }
    view_->refresh();  // rows that came since the last update are searched too
    FindResult found;
    {
        platform::BusyPointer busy;
        found = core_.find(*query, view_->selectedRow(), forward);
    }
    if (!found.row) {
        findUi_->lblFindResult->setText(QStringLiteral("Not found."));
        return;
    }
    view_->selectRow(*found.row);
    findUi_->lblFindResult->setText(!found.wrapped ? QString()
                                    : forward      ? QStringLiteral("Continued from the oldest frame.")
                                                   : QStringLiteral("Continued from the newest frame."));
}

// ---- closing ---------------------------------------------------------------

void BusviewWindow::userEnd() { close(); }

void BusviewWindow::closeEvent(QCloseEvent* event) {
    if (!active_) {  // closed once already, deletion pending
        event->accept();
        return;
    }
    unregisterMonitor();
    active_ = false;
    rememberGeometry();
    event->accept();
    if (onClosedByUser) onClosedByUser();
}

}  // namespace fenwire
