// The one GUI object: owns every widget of the in-window interface, lays them
// out from its origin, shows one of three pages and hands mouse events on.
//
// Members are public: start-up, the display callback and the commands read
// and change them directly.
#pragma once
#include "gui/TransferFunctionEditor.h"
#include "gui/Widget.h"
#include "gui/Widgets.h"

#include <array>

class Volume;

// The closed page shows only the page row, at the bottom.
enum Page { closedPage = 0, menuPage = 1, infosPage = 2 };

class ControlPanel : public Panel {
  public:
    // Needs a current GL context (the editor's histogram list) and the probed
    // extensions (the infos page names them). Widgets are never freed.
    // histogram: the volume's counts where they are known already.
    ControlPanel(int id, const Volume& volume, const int* histogram = nullptr);

    // Places everything but the page row, which setPage places.
    void setPosition(int originX, int originY);
    void setPage(Page p);
    // Installs cb on the 18 widgets that take events; labels get none.
    void setCommandCallback(CommandCallback cb);
    // Installs cb on the editor only.
    void setChangeCallback(ChangeCallback cb);

    // Every event-taking widget sees each press and hover in a fixed order;
    // none consumes it, so a command run by one already affects the later ones.
    void onMouse(int button, int state, int x, int y) override;
    // Drags go to the editor alone.
    void onMotion(int button, int prevX, int prevY, int x, int y) override;
    void onPassiveMotion(int x, int y) override;
    void drawPanel(int width, int height) override;

    TransferFunctionEditor* editor;
    Button* menuButton;
    Button* infosButton;
    Button* exitButton;
    Button* initTfButton;
    Button* applyTfButton;
    Button* densityPlusButton;
    Button* densityMinusButton;
    Label* densityLabel;
    Button* slicesPlusButton;
    Button* slicesMinusButton;
    Label* slicesLabel;
    Button* intensityPlusButton;
    Button* intensityMinusButton;
    Label* intensityLabel;
    Label* sizeLabel;
    Label* fpsLabel;
    CheckBox* useTfCheckBox;
    CheckBox* filterCheckBox;
    Label* blendingLabel;
    RadioGroup* blendGroup;
    RadioButton* normRadio;
    RadioButton* overRadio;
    RadioButton* attRadio;
    RadioButton* mipRadio;
    Label* versionLabel;
    Label* separatorLabel;
    Label* projectLabel;
    Label* schoolLabel;
    Label* authorLabel;
    Label* webLabel;
    Label* palettedLabel;
    Label* blendColorLabel;
    Label* minmaxLabel;
    Label* opacityLabel; // empty, drawing nothing, unless the program sets it
    Page page = menuPage;

  private:
    std::array<Widget*, 18> eventOrder;
    std::array<Widget*, 34> drawOrder;
    std::array<Widget*, 21> menuSet;
    std::array<Widget*, 9> infosSet;
};

// The program's panel, created by start-up and never freed.
extern ControlPanel* controlPanel;
