// What the program does before its main window: the socket layer must work
// (the device is reached over TCP and found over UDP), and the application
// names where settings would go (it stores none).
#pragma once

class QWidget;

namespace velmora {

// True when an IPv4 socket can be created.
bool socketLayerReady();

// Qt's own Chinese texts for its standard dialogs and buttons (确定, 取消,
// 是, 否, the file dialog), from the system's Qt translations. False when
// they are not installed: the buttons then stay English.
bool installQtChineseTexts();

// Names the application and gives every window the page font; when ready is false shows "Socket初始化失败" and
// returns false, and the program ends without a window.
bool prepareStart(bool ready, QWidget* parent = nullptr);

}  // namespace velmora
