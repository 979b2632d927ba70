// Resource and control identifiers.
#pragma once

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDD_CORVANE_DIALOG = 102;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDD_OPTIONS = 130;
constexpr int IDM_ABOUTBOX = 0x10;

constexpr int IDC_STATIC = -1;
constexpr int IDOK_RECORD = 1; // the main dialog's OK command is Record/Stop
constexpr int IDC_OK = 1;
constexpr int IDC_CANCEL = 2;
constexpr int IDC_CONVERT_OPTIONS = 3;
constexpr int IDC_CONVERT = 4;
constexpr int IDC_DEVICE_LIST = 1000;
constexpr int IDC_FORMAT = 1000;
constexpr int IDC_OUTPUT_FILE = 1001;
constexpr int IDC_BROWSE = 1002;
constexpr int IDC_BITRATE = 1003;
constexpr int IDC_WEBSITE = 1004;
constexpr int IDC_RECORD_HELP = 1006;
constexpr int IDC_PLAYER = 1008;
constexpr int IDC_RICHTEXT = 1010;
constexpr int IDC_BROWSER = 1011;
constexpr int IDC_PAUSE = 1012;
constexpr int IDC_TAKE_STATUS = 1013;
constexpr int IDC_LEVEL_METER = 1014;
constexpr int IDC_ABOUT_FFMPEG = 1015; // the About box's line on the ffmpeg found

// The string table: id to text. Returns "" for an id it doesn't hold.
const char* LoadResString(int id);
