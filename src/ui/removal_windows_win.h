#pragma once

// The windows of a removal: the prompt after a scan that found something,
// the progress of the run, and its result.

#include <functional>

#include "framework/timer_win.h"
#include "ui/message_window_win.h"

namespace tolvar {

class RemovalRun;
struct RemovalOutcome;

class TForm11 : public MessageWindow {
public:
    explicit TForm11(Skin& skin);
    // Shows the prompt without blocking; remove runs after it has closed.
    void ShowPrompt(int infectionCount, std::function<void()> remove);

    Label& Label1;  // the count, bold
    Label& Label2;
    Label& Label3;
    Image& Image2;  // remove
    Image& Image3;  // do not remove

private:
    std::function<void()> remove_;
};

class TForm7 : public MessageWindow {
public:
    explicit TForm7(Skin& skin);
    // Runs the removal in this modal window: one item per tick, its copy on
    // a worker while the window goes on answering.
    void Run(RemovalRun& run);

    Label& Label1;
    Label& Label2;  // count done, bold
    Label& Label3;
    Label& Label4;  // name being removed, bold
    Timer Timer1;

private:
    void ShowProgress(RemovalRun& run);
    int total_ = 0;
};

class TForm6 : public MessageWindow {
public:
    explicit TForm6(Skin& skin);
    // Shows, modally, how many were removed, how many could not be, and why
    // the run stopped early if it did.
    void ShowResult(const RemovalOutcome& outcome);

    Label& Label1;  // the count, bold
    Label& Label2;
    Label& Label3;
    Label& Label4;  // what could not be removed, and why
    Image& Image3;  // OK
};

}  // namespace tolvar
