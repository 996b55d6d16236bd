#pragma once

class TForm1;

// Call before the window is shown. Logs the window's first exposure under veltrano.app
// (start-up timing), and when the variable VELTRANO_SCREENSHOTS names a folder, saves a PNG of
// each page there once the window is up and then closes the window (scripts/screenshots).
void InstallStartupHooks(TForm1& form);
