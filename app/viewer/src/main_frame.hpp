// The main window: MDI area, menus and toolbar from one action table, status
// bar, tool panels and the option blocks every open and save uses.
#ifndef LUMAPIX_VIEWER_MAIN_FRAME_HPP
#define LUMAPIX_VIEWER_MAIN_FRAME_HPP

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "lumapix/options.h"
#include "lumapix/xr_image.h"

class QAction;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class AudioPlayerPanel;
class CChildFrame;
class COrvineView;
class DicomPanel;
class DisplayBitPanel;
class NavigatorPanel;
class SpectrumPanel;
class ViewerQuestions;
namespace lumapix {
class CpuSampler;
class CpuUsagePanel;
class PluginHost;
}  // namespace lumapix

class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    // The panels, in the order of their show keys.
    enum Panel { kNavigator, kDisplayBits, kAudio, kCpu, kDicom, kSpectrum, kPanelCount };

    // plugins: the filter plug-ins loaded at start-up, or null for none.
    explicit CMainFrame(lumapix::PluginHost* plugins = nullptr, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Opens path as a new document window; false when nothing opened.
    bool OpenFile(const QString& path);
    // Shows the window where the profile's "WindowPos" left it.
    void ShowWithSavedPlacement();
    // Runs change on the active image, keeping the previous image for undo and
    // timing it; a failure leaves the image as it was and shows failureMessage.
    bool ChangeActiveImage(const std::function<CodecStatus(XrImage*)>& change, const QString& failureMessage);
    // Runs plug-in index on the active image; false when it is not enabled for it.
    bool RunPlugin(int index);
    // The plug-in menu's items for the active document.
    QMenu* pluginMenu() const { return pluginMenu_; }
    const lumapix::PluginHost* plugins() const { return plugins_; }

    QMdiArea* mdiArea() const { return mdi_; }
    CChildFrame* activeChild() const;
    COrvineView* activeView() const;
    QString imageStatusText() const;
    QString zoomStatusText() const;
    NavigatorPanel* navigator() const { return navigator_; }
    DisplayBitPanel* displayBitPanel() const { return displayBits_; }
    AudioPlayerPanel* audioPlayerPanel() const { return audioPanel_; }
    SpectrumPanel* spectrumPanel() const { return spectrumPanel_; }
    bool panelShown(Panel panel) const;
    void SetPanelShown(Panel panel, bool shown);
    QAction* action(const char* name) const;
    DecodeOptions& decodeOptions() { return decodeOptions_; }
    EncodeOptions& encodeOptions() { return encodeOptions_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreatePanels();
    void RestorePanelStates();
    void SavePanelStates() const;

    void OnOpen();
    void OnSaveAs();
    void OnModeConversion();
    void OnResize();
    void OnRotate();

    void OnImageInformation();
    void OnAbout();
    void OnHeaderReport();
    void OnDebugOptions();
    void OnEncodeAll();
    void OnPluginInformation();
    void OnAssociations();
    void BuildPluginMenu();
    void SavePlacement() const;
    void ShowText(const QString& title, const std::string& text);
    void OnActivated(QMdiSubWindow* window);
    void OnPixelPicked(uint32_t x, uint32_t y);
    void UpdateStatus();
    void UpdateCommands();
    void UpdateAudioCommands();
    void AddRecentFile(const QString& path);
    void RebuildRecentMenu();

    QMdiArea* mdi_;
    DecodeOptions decodeOptions_{};
    EncodeOptions encodeOptions_{};
    std::unique_ptr<ViewerQuestions> questions_;
    std::unique_ptr<lumapix::CpuSampler> cpuSampler_;
    NavigatorPanel* navigator_ = nullptr;
    DisplayBitPanel* displayBits_ = nullptr;
    lumapix::CpuUsagePanel* cpuPanel_ = nullptr;
    DicomPanel* dicomPanel_ = nullptr;
    AudioPlayerPanel* audioPanel_ = nullptr;
    SpectrumPanel* spectrumPanel_ = nullptr;
    std::array<QDockWidget*, kPanelCount> docks_{};
    std::array<QAction*, kPanelCount> panelActions_{};
    QLabel* imagePane_ = nullptr;
    QLabel* zoomPane_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QMenu* pluginMenu_ = nullptr;
    lumapix::PluginHost* plugins_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QStringList recentFiles_;
    int openFilterIndex_ = 0;
    int saveFilterIndex_ = 0;
    QMdiSubWindow* statusSource_ = nullptr;
};

#endif
