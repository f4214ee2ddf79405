#include "main_frame.hpp"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>

#include "about_dialog.hpp"
#include "associations_dialog.hpp"
#include "child_frame.hpp"
#include "cpu_sampler.hpp"
#include "cpu_usage_panel.hpp"
#include "debug_options_dialog.hpp"
#include "decode_options_dialog.hpp"
#include "file_enc_dlg.hpp"
#include "file_filters.hpp"
#include "lumapix/encode_all.h"
#include "lumapix/header_report.h"
#include "lumapix/image_information.h"
#include "lumapix/mode_conversion.h"
#include "lumapix/resize_image.h"
#include "lumapix/rotate_image.h"
#include "lumapix/plugin_host.h"
#include "lumapix/view_rules.h"
#include "lumapix/window_placement.h"
#include "mode_conversion_dialog.hpp"
#include "resolution_dialog.hpp"
#include "rotation_dialog.hpp"
#include "orvine_view.hpp"
#include "panels/audio_player_panel.hpp"
#include "panels/dicom_panel.hpp"
#include "panels/display_bit_panel.hpp"
#include "panels/navigator_panel.hpp"
#include "panels/panel_font.hpp"
#include "panels/frequency_panel.hpp"
#include "viewer_questions.hpp"

using lumapix::CFileEncDlg;
using lumapix::CpuSampler;
using lumapix::CpuUsagePanel;
using lumapix::AssociationsDialog;
using lumapix::DebugOptionsDialog;
using lumapix::DecodeOptionsDialog;
using lumapix::ModeConversionDialog;
using lumapix::ResolutionDialog;
using lumapix::RotationDialog;

// The icons live in a static library: their resource needs registering once.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace {

constexpr int kRecentFiles = 16;
constexpr int kShown = 5;

struct PanelInfo {
    const char* key;      // show state in the profile's "Dlg" section
    const char* menuText;
    const char* icon;
    const char* actionName;
};
constexpr PanelInfo kPanels[CMainFrame::kPanelCount] = {
    {"NaviShow", "ピクセルナビゲータ", "navigator", "panel.navigator"},
    {"HistogramShow", "表示ビット選択", "display_bits", "panel.displayBits"},
    {"AudioShow", "オーディオプレイヤー", "audio_player", "audio.player"},
    {"CpuShow", "CPU使用率", "cpu", "panel.cpu"},
    {"DicomShow", "DICOM", "dicom", "panel.dicom"},
    {"SpectrumShow", "スペクトラム", "frequency_bars", "audio.spectrum"},
};

QIcon Icon(const char* name) { return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name))); }

QSettings Profile() { return QSettings(QStringLiteral("QUILLBAY"), QStringLiteral("Lumapix")); }

// A file dialog with an "オプション" button beside its own buttons.
QPushButton* AddOptionsButton(QFileDialog& dialog) {
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    auto* button = new QPushButton(QStringLiteral("オプション"), &dialog);
    if (grid)
        grid->addWidget(button, grid->rowCount(), grid->columnCount() - 1);
    return button;
}

}  // namespace

CMainFrame::CMainFrame(lumapix::PluginHost* plugins, QWidget* parent)
    : QMainWindow(parent),
      mdi_(new QMdiArea(this)),
      questions_(std::make_unique<ViewerQuestions>(this)),
      plugins_(plugins) {
    InitIconResources();
    DecodeOptionsDefaults(&decodeOptions_);
    EncodeOptionsDefaults(&encodeOptions_);
    setWindowTitle(QStringLiteral("LumapixV3 Multi Viewer"));
    setWindowIcon(Icon("lumapix"));
    setAcceptDrops(true);
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &CMainFrame::OnActivated);

    cpuSampler_ = std::make_unique<CpuSampler>();
    cpuSampler_->Start();
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreatePanels();
    RestorePanelStates();
    recentFiles_.clear();
    QSettings profile = Profile();
    for (int i = 1; i <= kRecentFiles; ++i) {
        QString file = profile.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!file.isEmpty()) recentFiles_ << file;
    }
    RebuildRecentMenu();
    UpdateStatus();
    UpdateCommands();
    resize(1100, 760);
    // Command states follow the active document, checked twice a second.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CMainFrame::UpdateCommands);
    timer->start(500);
}

CMainFrame::~CMainFrame() {
    // Children outlive this part of the frame: their last signals must not reach it.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

QAction* CMainFrame::action(const char* name) const { return findChild<QAction*>(QLatin1String(name)); }

void CMainFrame::CreateActions() {
    auto make = [this](const char* name, const QString& text, const char* icon, auto slot,
                       QList<QKeySequence> keys = {}) {
        auto* a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        if (icon) a->setIcon(Icon(icon));
        a->setShortcuts(keys);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    auto view = [this](void (COrvineView::*member)()) {
        return [this, member] {
            if (COrvineView* v = activeView()) (v->*member)();
        };
    };
    QAction* fresh = make("file.new", QStringLiteral("新規作成(&N)"), "new", [] {}, {QKeySequence::New});
    fresh->setEnabled(false);  // image generation arrives with its own dialog
    fresh->setToolTip(QStringLiteral("新規作成"));
    make("file.open", QStringLiteral("開く(&O)..."), "open", &CMainFrame::OnOpen, {QKeySequence::Open});
    make("file.saveAs", QStringLiteral("名前を付けて保存(&A)..."), "save", &CMainFrame::OnSaveAs, {QKeySequence::Save});
    make("file.closeAll", QStringLiteral("すべて閉じる"), "close_all", [this] { mdi_->closeAllSubWindows(); });
    make("file.exit", QStringLiteral("アプリケーションの終了(&X)"), nullptr, [this] { close(); }, {QKeySequence::Quit});
    make("edit.copy", QStringLiteral("コピー(&C)"), nullptr, view(&COrvineView::CopyImage),
         {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    make("view.zoomIn", QStringLiteral("拡大"), "zoom_in", view(&COrvineView::ZoomIn));
    make("view.zoomOut", QStringLiteral("縮小"), "zoom_out", view(&COrvineView::ZoomOut));
    make("view.actual", QStringLiteral("等倍"), "actual_pixels", view(&COrvineView::ActualPixels));
    make("view.imageInfo", QStringLiteral("画像情報"), "image_info", &CMainFrame::OnImageInformation);
    make("image.mode", QStringLiteral("画像モード変換..."), "mode_conversion", &CMainFrame::OnModeConversion);
    make("image.resize", QStringLiteral("解像度変換..."), nullptr, &CMainFrame::OnResize);
    make("image.rotate", QStringLiteral("回転と反転..."), nullptr, &CMainFrame::OnRotate);
    make("window.cascade", QStringLiteral("重ねて表示(&C)"), nullptr, [this] { mdi_->cascadeSubWindows(); });
    make("window.tile", QStringLiteral("並べて表示(&T)"), nullptr, [this] { mdi_->tileSubWindows(); });
    make("help.about", QStringLiteral("バージョン情報(&A)..."), "about", &CMainFrame::OnAbout);
    make("file.associations", QStringLiteral("関連付けの設定..."), nullptr, &CMainFrame::OnAssociations);
    make("debug.header", QStringLiteral("XrImage Header"), nullptr, &CMainFrame::OnHeaderReport);
    make("debug.options", QStringLiteral("Debug Option"), nullptr, &CMainFrame::OnDebugOptions);
    make("debug.encodeAll", QStringLiteral("Encode All"), nullptr, &CMainFrame::OnEncodeAll);
    make("debug.plugins", QStringLiteral("Plugin Information"), nullptr, &CMainFrame::OnPluginInformation);
    for (int i = 0; i < kPanelCount; ++i) {
        auto panel = static_cast<Panel>(i);
        QAction* a = make(kPanels[i].actionName, QString::fromUtf8(kPanels[i].menuText), kPanels[i].icon,
                          [this, panel] { SetPanelShown(panel, !panelShown(panel)); });
        a->setCheckable(true);
        panelActions_[static_cast<size_t>(i)] = a;
    }
    // Playback goes to the player panel, like its own buttons.
    make("audio.play", QStringLiteral("再生"), "play", [this] { audioPanel_->Play(); });
    make("audio.stop", QStringLiteral("停止"), "stop", [this] { audioPanel_->Stop(); });
    make("audio.pause", QStringLiteral("一時停止"), "pause", [this] { audioPanel_->Pause(); });
    make("help.contents", QStringLiteral("ヘルプ"), "help", [] {})->setEnabled(false);
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->addAction(action("file.new"));
    file->addAction(action("file.open"));
    file->addAction(action("file.saveAs"));
    file->addAction(action("file.closeAll"));
    file->addSeparator();
    recentMenu_ = file->addMenu(QStringLiteral("最近使ったファイル"));
    file->addSeparator();
    file->addAction(action("file.associations"));
    file->addSeparator();
    file->addAction(action("file.exit"));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    edit->addAction(action("edit.copy"));

    QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    view->addAction(action("view.zoomIn"));
    view->addAction(action("view.zoomOut"));
    view->addAction(action("view.actual"));
    view->addSeparator();
    for (QAction* a : panelActions_) view->addAction(a);
    view->addSeparator();
    view->addAction(action("view.imageInfo"));

    QMenu* image = menuBar()->addMenu(QStringLiteral("画像処理(&I)"));
    image->addAction(action("image.mode"));
    image->addAction(action("image.resize"));
    image->addAction(action("image.rotate"));
    image->addSeparator();
    pluginMenu_ = image->addMenu(QStringLiteral("PLUGINS"));
    pluginMenu_->addAction(QStringLiteral("フィルタープラグイン"));  // replaced when the menu opens
    connect(pluginMenu_, &QMenu::aboutToShow, this, &CMainFrame::BuildPluginMenu);

    QMenu* sound = menuBar()->addMenu(QStringLiteral("音声"));
    for (const char* name : {"audio.play", "audio.stop", "audio.pause"}) sound->addAction(action(name));

    QMenu* debug = menuBar()->addMenu(QStringLiteral("DEBUG"));
    for (const char* name : {"debug.header", "debug.options", "debug.encodeAll", "debug.plugins"})
        debug->addAction(action(name));

    windowMenu_ = menuBar()->addMenu(QStringLiteral("ウィンドウ(&W)"));
    connect(windowMenu_, &QMenu::aboutToShow, this, [this] {
        windowMenu_->clear();
        windowMenu_->addAction(action("window.cascade"));
        windowMenu_->addAction(action("window.tile"));
        const QList<QMdiSubWindow*> windows = mdi_->subWindowList();
        if (!windows.isEmpty()) windowMenu_->addSeparator();
        for (int i = 0; i < windows.size(); ++i) {
            QMdiSubWindow* w = windows[i];
            QAction* a = windowMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(w->windowTitle()),
                                                this, [this, w] { mdi_->setActiveSubWindow(w); });
            a->setCheckable(true);
            a->setChecked(w == mdi_->activeSubWindow());
        }
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->addAction(action("help.about"));
}

void CMainFrame::CreateToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setIconSize(QSize(24, 24));
    bar->setMovable(false);
    bar->addAction(action("file.new"));
    bar->addAction(action("file.open"));
    // The open button's arrow drops the recent files.
    if (auto* open = qobject_cast<QToolButton*>(bar->widgetForAction(action("file.open")))) {
        open->setMenu(recentMenu_);
        open->setPopupMode(QToolButton::MenuButtonPopup);
    }
    bar->addAction(action("file.saveAs"));
    bar->addSeparator();
    for (const char* name : {"view.zoomIn", "view.zoomOut", "view.actual"}) bar->addAction(action(name));
    bar->addSeparator();
    for (int i = 0; i < kPanelCount; ++i)
        if (i != kAudio && i != kSpectrum) bar->addAction(panelActions_[static_cast<size_t>(i)]);
    bar->addAction(action("view.imageInfo"));
    bar->addSeparator();
    for (const char* name : {"audio.player", "audio.spectrum", "audio.play", "audio.stop", "audio.pause"})
        bar->addAction(action(name));
    bar->addSeparator();
    bar->addAction(action("help.contents"));
    bar->addAction(action("help.about"));
}

void CMainFrame::CreateStatusBar() {
    imagePane_ = new QLabel(this);
    zoomPane_ = new QLabel(this);
    imagePane_->setObjectName(QStringLiteral("imagePane"));
    zoomPane_->setObjectName(QStringLiteral("zoomPane"));
    const QFontMetrics metrics(statusBar()->font());
    imagePane_->setMinimumWidth(metrics.horizontalAdvance(QString::fromUtf8(lumapix::kImageStatusSizer)));
    zoomPane_->setMinimumWidth(metrics.horizontalAdvance(QString::fromUtf8(lumapix::kZoomStatusSizer)));
    statusBar()->addPermanentWidget(imagePane_);
    statusBar()->addPermanentWidget(zoomPane_);
}

void CMainFrame::CreatePanels() {
    navigator_ = new NavigatorPanel(this);
    displayBits_ = new DisplayBitPanel(this);
    cpuPanel_ = new CpuUsagePanel(*cpuSampler_, this);
    dicomPanel_ = new DicomPanel(this);
    audioPanel_ = new AudioPlayerPanel(this);
    spectrumPanel_ = new SpectrumPanel(this);
    QWidget* widgets[kPanelCount] = {navigator_, displayBits_, audioPanel_, cpuPanel_, dicomPanel_, spectrumPanel_};
    const Qt::DockWidgetArea areas[kPanelCount] = {Qt::RightDockWidgetArea,  Qt::RightDockWidgetArea,
                                                   Qt::RightDockWidgetArea,  Qt::BottomDockWidgetArea,
                                                   Qt::BottomDockWidgetArea, Qt::BottomDockWidgetArea};
    setCorner(Qt::BottomRightCorner, Qt::RightDockWidgetArea);
    for (int i = 0; i < kPanelCount; ++i) {
        auto* dock = new QDockWidget(widgets[i]->windowTitle(), this);
        dock->setObjectName(QLatin1String(kPanels[i].key));
        dock->setWidget(widgets[i]);
        dock->setWindowIcon(Icon(kPanels[i].icon));
        dock->hide();
        addDockWidget(areas[i], dock);
        QAction* toggle = panelActions_[static_cast<size_t>(i)];
        // The close box hides the panel like its toggle does.
        connect(dock, &QDockWidget::visibilityChanged, this, [this, dock, toggle] {
            if (!isMinimized()) toggle->setChecked(!dock->isHidden());
        });
        docks_[static_cast<size_t>(i)] = dock;
    }
    // The CPU graph at the bottom left, the attribute list filling the rest.
    splitDockWidget(docks_[kCpu], docks_[kDicom], Qt::Horizontal);
    splitDockWidget(docks_[kNavigator], docks_[kDisplayBits], Qt::Vertical);
    splitDockWidget(docks_[kDisplayBits], docks_[kAudio], Qt::Vertical);
    splitDockWidget(docks_[kDicom], docks_[kSpectrum], Qt::Horizontal);
    // Opening an audio file shows the player and plays the file there.
    questions_->audioPlayer = [this](const std::string& path, int32_t type) {
        SetPanelShown(kAudio, true);
        audioPanel_->OpenNewFile(QString::fromStdString(path), type);
    };
    connect(audioPanel_, &AudioPlayerPanel::playbackStateChanged, this, &CMainFrame::UpdateAudioCommands);
    connect(displayBits_, &DisplayBitPanel::windowCommitted, this, [this] {
        if (COrvineView* v = activeView()) v->RebuildDisplay();
    });
}

bool CMainFrame::panelShown(Panel panel) const { return !docks_[panel]->isHidden(); }

void CMainFrame::SetPanelShown(Panel panel, bool shown) {
    docks_[panel]->setVisible(shown);
    panelActions_[panel]->setChecked(shown);
    if (shown && panel == kDisplayBits) {
        CChildFrame* child = activeChild();
        displayBits_->SetDocument(child ? &child->document() : nullptr);
    }
}

void CMainFrame::RestorePanelStates() {
    QSettings profile = Profile();
    for (int i = 0; i < kPanelCount; ++i)
        SetPanelShown(static_cast<Panel>(i),
                      profile.value(QStringLiteral("Dlg/%1").arg(QLatin1String(kPanels[i].key)), 0).toInt() == kShown);
}

void CMainFrame::SavePanelStates() const {
    QSettings profile = Profile();
    for (int i = 0; i < kPanelCount; ++i)
        profile.setValue(QStringLiteral("Dlg/%1").arg(QLatin1String(kPanels[i].key)),
                         panelShown(static_cast<Panel>(i)) ? kShown : 0);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    SavePlacement();
    SavePanelStates();
    mdi_->closeAllSubWindows();
    event->accept();
}

CChildFrame* CMainFrame::activeChild() const { return qobject_cast<CChildFrame*>(mdi_->activeSubWindow()); }

COrvineView* CMainFrame::activeView() const {
    CChildFrame* child = activeChild();
    return child ? child->view() : nullptr;
}

bool CMainFrame::OpenFile(const QString& path) {
    const QString canonical = QFileInfo(path).absoluteFilePath();
    // A file already open has its window brought forward.
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        auto* child = qobject_cast<CChildFrame*>(w);
        if (child && child->document().status == lumapix::COrvineDoc::kNormal &&
            QString::fromStdString(child->document().path) == canonical) {
            mdi_->setActiveSubWindow(w);
            return true;
        }
    }
    auto doc = std::make_unique<lumapix::COrvineDoc>();
    lumapix::OpenOutcome outcome =
        lumapix::OpenDocument(*doc, canonical.toStdString(), decodeOptions_, *questions_);
    if (outcome != lumapix::OpenOutcome::kOpened) return false;
    const bool audio = doc->status == lumapix::COrvineDoc::kAudio;
    auto* child = new CChildFrame(std::move(doc));
    mdi_->addSubWindow(child);
    connect(child->view(), &COrvineView::statusChanged, this, [this, child] {
        if (mdi_->activeSubWindow() == child) UpdateStatus();
    });
    connect(child->view(), &COrvineView::pixelPicked, this, &CMainFrame::OnPixelPicked);
    connect(child, &QObject::destroyed, this, [this] {
        UpdateStatus();
        UpdateCommands();
    });
    // Open at the image's size, within the work area.
    child->show();
    child->layout()->activate();
    const QSize decoration = child->size() - child->widget()->size();
    child->resize((child->view()->sizeHint() + decoration)
                      .boundedTo(mdi_->viewport()->size() * 0.95)
                      .expandedTo(QSize(200, 120)));
    if (!audio) AddRecentFile(canonical);
    UpdateCommands();
    return true;
}

void CMainFrame::OnOpen() {
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList filters = OpenFilters();
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(openFilterIndex_));
    connect(AddOptionsButton(dialog), &QPushButton::clicked, &dialog, [this, &dialog] {
        DecodeOptionsDialog options(&decodeOptions_, &dialog);
        options.exec();
    });
    if (dialog.exec() != QDialog::Accepted) return;
    openFilterIndex_ = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    for (const QString& path : dialog.selectedFiles()) OpenFile(path);
}

void CMainFrame::OnSaveAs() {
    CChildFrame* child = activeChild();
    if (!child || child->document().status != lumapix::COrvineDoc::kNormal) return;
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = SaveFilters();
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(saveFilterIndex_));
    const QFileInfo current(QString::fromStdString(child->document().path));
    dialog.setDirectory(current.absolutePath());
    dialog.selectFile(current.completeBaseName());
    connect(AddOptionsButton(dialog), &QPushButton::clicked, &dialog, [this, &dialog] {
        CFileEncDlg options(&encodeOptions_, &dialog);
        options.exec();
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    saveFilterIndex_ = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    const int32_t format = saveFilterIndex_;
    lumapix::SaveResult result = lumapix::SaveDocumentAs(child->document(), dialog.selectedFiles().first().toStdString(),
                                                         format, encodeOptions_, *questions_);
    if (result.saved) {
        statusBar()->showMessage(QString::fromStdString(result.path), 5000);
        AddRecentFile(QString::fromStdString(result.path));
    }
}

bool CMainFrame::ChangeActiveImage(const std::function<CodecStatus(XrImage*)>& change,
                                   const QString& failureMessage) {
    CChildFrame* child = activeChild();
    if (!child || child->document().status != lumapix::COrvineDoc::kNormal) return false;
    lumapix::COrvineDoc& doc = child->document();
    XrImage previous{};
    CodecStatus status = ImageCopy(&previous, &doc.image);
    if (status == XR_OK) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QElapsedTimer timer;
        timer.start();
        status = change(&doc.image);  // leaves the image as it was on failure
        doc.processMs = static_cast<int32_t>(timer.elapsed());
        QApplication::restoreOverrideCursor();
    }
    if (status != XR_OK) {
        ImageFree(&previous);
        QMessageBox::warning(this, QStringLiteral("WARNING"), failureMessage);
        return false;
    }
    ImageFree(&doc.undo);
    doc.undo = previous;
    child->view()->OnImageReplaced();
    displayBits_->SetDocument(&doc);
    return true;
}

void CMainFrame::OnModeConversion() {
    CChildFrame* child = activeChild();
    if (!child || child->document().status != lumapix::COrvineDoc::kNormal) return;
    ModeConversionDialog dialog(child->document().image, this);
    if (dialog.exec() != QDialog::Accepted) return;
    ChangeActiveImage(
        [&dialog](XrImage* image) {
            return ConvertImageMode(image, dialog.mode(), dialog.ditherMode(), dialog.coefficient(),
                                    dialog.threshold(), 1, dialog.paletteArgument(), dialog.monoPaletteFormat());
        },
        QStringLiteral("画像モード変換エラー"));
}

void CMainFrame::OnResize() {
    CChildFrame* child = activeChild();
    if (!child || child->document().status != lumapix::COrvineDoc::kNormal) return;
    const XrImage& image = child->document().image;
    ResolutionDialog dialog(image.WIDTH, image.HEIGHT, this);
    if (dialog.exec() != QDialog::Accepted) return;
    ChangeActiveImage(
        [&dialog](XrImage* record) {
            return ResizeImage(record, dialog.method(), dialog.newWidth(), dialog.newHeight(), dialog.sharpness(),
                               dialog.lineByLine() ? 1 : 0);
        },
        QStringLiteral("解像度変換エラー"));
}

void CMainFrame::OnRotate() {
    RotationDialog dialog(this);
    if (!activeChild() || dialog.exec() != QDialog::Accepted) return;
    ChangeActiveImage([&dialog](XrImage* record) { return RotateImage(record, dialog.angle(), 1); },
                      QStringLiteral("画像回転エラー"));
}

void CMainFrame::OnImageInformation() {
    if (CChildFrame* child = activeChild())
        ShowText(QStringLiteral("画像情報"), lumapix::ImageInformation(child->document()));
}

void CMainFrame::OnAbout() {
    AboutDialog about(this);
    about.exec();
}

void CMainFrame::ShowText(const QString& title, const std::string& text) {
    QDialog dialog(this);
    dialog.setWindowTitle(title);
    auto* view = new QPlainTextEdit(&dialog);
    view->setReadOnly(true);
    view->setFont(PanelFont());
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setPlainText(QString::fromStdString(text).remove(QLatin1Char('\r')));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(view);
    dialog.resize(560, 600);
    dialog.exec();
}

void CMainFrame::OnHeaderReport() {
    CChildFrame* child = activeChild();
    if (!child) return;
    const lumapix::COrvineDoc& doc = child->document();
    lumapix::ReportTimes times{doc.decodeMs, doc.encodeMs, doc.processMs};
    ShowText(QStringLiteral("XrImage Header"), lumapix::HeaderReport(doc.image, times, doc.fileBytes, "\r\n"));
}

void CMainFrame::OnDebugOptions() {
    DebugOptionsDialog dialog(&decodeOptions_, this);
    dialog.exec();
}

void CMainFrame::OnEncodeAll() {
    CChildFrame* child = activeChild();
    if (!child || child->document().status != lumapix::COrvineDoc::kNormal) return;
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Encode All"), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (folder.isEmpty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto results = lumapix::EncodeAll(child->document(), folder.toStdString(), encodeOptions_, *questions_);
    QApplication::restoreOverrideCursor();
    int skipped = 0;
    for (const auto& r : results) skipped += r.skipped ? 1 : 0;
    if (skipped) statusBar()->showMessage(QStringLiteral("%1 形式はまだ書き出せません").arg(skipped), 5000);
    QMessageBox::information(this, QStringLiteral("LUMAPIX"), QStringLiteral("ENCODE Finish"));
}

void CMainFrame::OnPluginInformation() {
    ShowText(QStringLiteral("Plugin Information"), plugins_ ? plugins_->ListText() : std::string());
}

void CMainFrame::OnAssociations() {
    AssociationsDialog dialog(
        lumapix::AssociationEnvironment::FromProcess(QCoreApplication::applicationFilePath().toStdString()), this);
    dialog.exec();
}

void CMainFrame::BuildPluginMenu() {
    pluginMenu_->clear();
    if (!plugins_) return;
    CChildFrame* child = activeChild();
    const XrImage* image =
        child && child->document().status == lumapix::COrvineDoc::kNormal ? &child->document().image : nullptr;
    for (int i = 0; i < plugins_->Count(); ++i) {
        QAction* item = pluginMenu_->addAction(QString::fromUtf8(plugins_->Name(i)), this, [this, i] { RunPlugin(i); });
        item->setData(36001 + i);
        item->setEnabled(plugins_->Enabled(i, image));
    }
}

bool CMainFrame::RunPlugin(int index) {
    CChildFrame* child = activeChild();
    if (!plugins_ || !child || child->document().status != lumapix::COrvineDoc::kNormal) return false;
    lumapix::COrvineDoc& doc = child->document();
    if (!plugins_->Enabled(index, &doc.image)) return false;
    COrvineView* view = child->view();
    QElapsedTimer timer;
    timer.start();
    // A preview must show while the filter still runs: repaint at once.
    plugins_->Execute(index, doc.image, doc.undo, this, [view] {
        view->RebuildDisplay();
        view->viewport()->repaint();
    });
    doc.processMs = static_cast<int32_t>(timer.elapsed());
    child->view()->OnImageReplaced();
    displayBits_->SetDocument(&doc);
    return true;
}

void CMainFrame::SavePlacement() const {
    lumapix::WindowPlacement placement;
    if (isMaximized()) placement.flags = lumapix::WindowPlacement::kRestoreToMaximized;
    placement.show = isMinimized()   ? lumapix::WindowPlacement::kShowMinimized
                     : isMaximized() ? lumapix::WindowPlacement::kShowMaximized
                                     : lumapix::WindowPlacement::kShowNormal;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    Profile().setValue(QStringLiteral("Settings/WindowPos"), QString::fromStdString(lumapix::FormatWindowPos(placement)));
}

void CMainFrame::ShowWithSavedPlacement() {
    const QString text = Profile().value(QStringLiteral("Settings/WindowPos")).toString();
    std::optional<lumapix::WindowPlacement> placement = lumapix::ParseWindowPos(text.toStdString());
    if (!placement || placement->right <= placement->left || placement->bottom <= placement->top) {
        show();
        return;
    }
    setGeometry(placement->left, placement->top, placement->right - placement->left,
                placement->bottom - placement->top);
    if (placement->maximized())
        showMaximized();
    else
        show();
}

void CMainFrame::OnActivated(QMdiSubWindow* window) {
    auto* child = qobject_cast<CChildFrame*>(window);
    lumapix::COrvineDoc* doc = child ? &child->document() : nullptr;
    displayBits_->SetDocument(doc);
    dicomPanel_->SetDocument(doc);
    if (!doc) navigator_->ShowPixel(nullptr, 0, 0);
    setWindowTitle(child ? QStringLiteral("LumapixV3 Multi Viewer - %1").arg(child->windowTitle())
                         : QStringLiteral("LumapixV3 Multi Viewer"));
    UpdateStatus();
    UpdateCommands();
}

void CMainFrame::OnPixelPicked(uint32_t x, uint32_t y) {
    if (!panelShown(kNavigator)) return;
    auto* view = qobject_cast<COrvineView*>(sender());
    if (view && view->document().status == lumapix::COrvineDoc::kNormal)
        navigator_->ShowPixel(&view->document().image, x, y);
}

QString CMainFrame::imageStatusText() const { return imagePane_->text(); }
QString CMainFrame::zoomStatusText() const { return zoomPane_->text(); }

void CMainFrame::UpdateStatus() {
    COrvineView* view = activeView();
    imagePane_->setText(view ? view->imageStatus() : QString());
    zoomPane_->setText(view ? view->zoomStatus() : QString());
}

void CMainFrame::UpdateCommands() {
    CChildFrame* child = activeChild();
    const bool image = child && child->document().status == lumapix::COrvineDoc::kNormal;
    for (const char* name : {"file.saveAs", "edit.copy", "view.zoomIn", "view.zoomOut", "view.actual", "image.mode",
                             "image.resize", "image.rotate", "debug.encodeAll"})
        action(name)->setEnabled(image);
    action("view.imageInfo")->setEnabled(child != nullptr);
    action("debug.header")->setEnabled(child != nullptr);
    action("file.closeAll")->setEnabled(!mdi_->subWindowList().isEmpty());
    UpdateAudioCommands();
}

// "再生" while stopped or paused, "停止" and "一時停止" while playing; none before the first play.
void CMainFrame::UpdateAudioCommands() {
    if (!audioPanel_) return;
    const int state = audioPanel_->playbackState();
    action("audio.play")->setEnabled(state == AudioPlayerPanel::kStopped || state == AudioPlayerPanel::kPaused);
    action("audio.stop")->setEnabled(state == AudioPlayerPanel::kPlaying);
    action("audio.pause")->setEnabled(state == AudioPlayerPanel::kPlaying);
}

void CMainFrame::AddRecentFile(const QString& path) {
    recentFiles_.removeAll(path);
    recentFiles_.prepend(path);
    while (recentFiles_.size() > kRecentFiles) recentFiles_.removeLast();
    QSettings profile = Profile();
    for (int i = 0; i < kRecentFiles; ++i) {
        QString key = QStringLiteral("Recent File List/File%1").arg(i + 1);
        if (i < recentFiles_.size())
            profile.setValue(key, recentFiles_[i]);
        else
            profile.remove(key);
    }
    RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu() {
    recentMenu_->clear();
    for (int i = 0; i < recentFiles_.size(); ++i) {
        const QString path = recentFiles_[i];
        recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()), this,
                               [this, path] { OpenFile(path); })
            ->setToolTip(path);
    }
    recentMenu_->setEnabled(!recentFiles_.isEmpty());
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) OpenFile(url.toLocalFile());
    event->acceptProposedAction();
}
