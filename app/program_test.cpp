// tocklet.exe itself, as a separate process: it shows the dialog with its
// Japanese captions and ends with exit code 0 on Quit and on the close box.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/dialog_driver.h"
#include "app/resource.h"
#include "testing/process_window.h"

namespace {

using app_test::Eventually;

std::string ProgramPath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self);
    path.resize(path.find_last_of("\\/") + 1);
    return path + "tocklet.exe";  // built beside this test program
}

constexpr char kDialogCaption[] = "Tocklet Version 0.01";

std::string ItemText(HWND dialog, int id) {
    char text[256] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text,
                        reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10'000, &length);
    return text;
}

class Program {
public:
    Program() {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        const std::string path = ProgramPath();
        std::string commandLine = "\"" + path + "\"";
        started_ = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, nullptr, &startup, &process_) != FALSE;
    }
    ~Program() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, app_test::kDeadline);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return started_; }

    HWND WaitForDialog() const {
        HWND found = nullptr;
        Eventually([&] {
            found = testing_support::FindVisibleWindow(process_.dwProcessId, kDialogCaption);
            return found != nullptr;
        });
        return found;
    }

    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD WaitForExit() const {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process_.hProcess, app_test::kDeadline) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process_.hProcess, &code);
        }
        return code;
    }

private:
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
};

TEST(Program, ShowsTheDialogAndQuitEndsWithCodeZero) {
    Program program;
    ASSERT_TRUE(program.started()) << ProgramPath();
    HWND dialog = program.WaitForDialog();
    ASSERT_NE(dialog, nullptr) << "no dialog appeared";
    EXPECT_EQ(ItemText(dialog, IDC_START), "開始(&C)");
    EXPECT_EQ(ItemText(dialog, IDC_QUIT), "終了(&X)");
    EXPECT_EQ(ItemText(dialog, IDC_HOUR), "0");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_STOP)));
    PostMessageA(GetDlgItem(dialog, IDC_QUIT), BM_CLICK, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(Program, CloseBoxWhileRunningEndsWithCodeZero) {
    Program program;
    ASSERT_TRUE(program.started()) << ProgramPath();
    HWND dialog = program.WaitForDialog();
    ASSERT_NE(dialog, nullptr) << "no dialog appeared";
    DWORD_PTR r = 0;
    SendMessageTimeoutA(GetDlgItem(dialog, IDC_SECOND), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>("30"), SMTO_NORMAL, 10'000, &r);
    SendMessageTimeoutA(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0, SMTO_NORMAL, 10'000, &r);
    EXPECT_TRUE(Eventually([&] { return ItemText(dialog, IDC_START) == "中断(&A)"; }));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_STOP)));
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

}  // namespace
