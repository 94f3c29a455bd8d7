// VelNameChange: renames route profiles and receivers of an alarm-server
// project. Without a command it opens its window; with one it works on the
// command line and needs no display.

#include "app/command_line.h"
#include "gui/main_window.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Qt's own options (-style, -platform, -reverse, ...) go to the window's
    // QApplication; the program reads the rest.
    const vel::SplitArguments args = vel::SplitQtOptions(
        std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    const vel::Invocation invocation = vel::ParseCommandLine(args.own);
    if (invocation.mode != vel::Invocation::Mode::Window) return vel::RunCommand(invocation, std::cout, std::cerr);

    const vel::ProjectChoice project = vel::ChooseProject(invocation);
    if (!project.problem) {
        std::cerr << "VelNameChange: " << project.problem.error().message << '\n';
        return vel::ExitUsage;
    }
    std::string settingProblem;
    vel::WindowSettings settings;
    settings.keepBackups = vel::ConfiguredKeptBackups(&settingProblem);
    if (!settingProblem.empty()) std::cerr << "VelNameChange: " << settingProblem << '\n';
    settingProblem.clear();
    settings.staleLockMinutes = vel::ConfiguredStaleLockMinutes(&settingProblem);
    if (!settingProblem.empty()) std::cerr << "VelNameChange: " << settingProblem << '\n';
    settings.verbose = invocation.verbose;
    std::vector<std::string> qtArgs{argc > 0 ? argv[0] : "VelNameChange"};
    qtArgs.insert(qtArgs.end(), args.qt.begin(), args.qt.end());
    std::vector<char*> qtArgv;
    for (std::string& a : qtArgs) qtArgv.push_back(a.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtArgs.size());
    return vel::RunWindow(qtArgc, qtArgv.data(), project.path, settings);
}
