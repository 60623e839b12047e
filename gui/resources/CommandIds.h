#pragma once

// The numeric ids of the program's commands: every QAction of the menus and shortcuts carries
// one, and the windows that handle a command know it by it.
namespace CommandIds {

constexpr int New = 57600;
constexpr int Open = 57601;
constexpr int Save = 57603;
constexpr int RecentFirst = 57616;  // the recent songs, 57616 … 57619
constexpr int Exit = 57665;
constexpr int BuildMix = 32805;
constexpr int ZoomIn = 32794;
constexpr int ZoomOut = 32795;
constexpr int Stop = 32773;
constexpr int PlayStop = 32798;
constexpr int Settings = 32771;
constexpr int SaveSettings = 32772;
constexpr int ShowWaveform = 32809;
constexpr int ToolBar = 59392;
constexpr int StatusBar = 59393;
constexpr int HelpTopics = 57667;
constexpr int About = 57664;
constexpr int Forward100 = 32813;
constexpr int Back100 = 32814;
constexpr int Forward5000 = 32816;
constexpr int Back5000 = 32817;
constexpr int Home = 32818;
constexpr int End = 32819;
constexpr int MuteFirst = 32820;  // Ctrl+0 … Ctrl+9 toggle the mute of strips 0 … 9
constexpr int MuteLast = 32829;
constexpr int RecordToggle = 32830;
constexpr int Help = 57670;
constexpr int ContextHelp = 57669;
constexpr int HelpShiftF1 = 57671;

// The commands of a track strip's context menu.
constexpr int ClearTrack = 32791;
constexpr int ClearPanProgram = 32792;
constexpr int ClearVolumeProgram = 32793;
constexpr int ChannelInfo = 32803;
constexpr int ExportWav = 32804;
constexpr int ImportWav = 32808;
constexpr int FadeOut = 32815;

}  // namespace CommandIds
