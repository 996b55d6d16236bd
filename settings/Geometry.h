#pragma once
#include <QSize>

// The window geometry as stored in Settings.ini (or its defaults) and as restored at start.
struct WindowGeometry {
    int Width = 0;
    int Height = 0;
    int Top = 0;
    int Left = 0;
};

// Defaults of the MainForm keys; Top and Left at this value mean "centre on the screen".
inline constexpr int CentredPosition = -100000;
inline constexpr WindowGeometry DefaultStoredGeometry{800, 540, CentredPosition, CentredPosition};
inline constexpr QSize MinimumWindowSize{800, 560};

// Where and how large the window opens, from the stored values and the primary screen's size.
// Pure: the screen is an input so every edge case can be checked without a display.
WindowGeometry RestoreGeometry(const WindowGeometry& stored, const QSize& screen);
