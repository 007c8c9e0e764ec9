#include "cmd/commandline.h"
#include "cmd/nuvprogram.h"
#include "cmd/signalguard.h"
#include "core/base/resultcodes.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    // Copied first: the application object may take words it recognises out of argv.
    const std::vector<std::string> words(argv, argv + (argc > 0 ? argc : 0));
    QCoreApplication application(argc, argv);
    CNUVProgram::Instance();   // registers the console output module before the core speaks
    const CSignalGuard signals;
    auto interrupted = []() {
        std::printf("%s", CSignalGuard::Message(CSignalGuard::Received()).c_str());
        std::fflush(stdout);
        return int(rc::UserCancelled);
    };
    ApplyTraceSwitches(words);
    ApplyJsonSwitch(words);
    StartCore();
    if (CSignalGuard::Received())
        return interrupted();
    if (words.size() == 1) {
        PrintUsage(words[0]);
        return 0;
    }
    if (words.empty()) {
        std::printf("Uncontrolled error\n");
        return 2;
    }
    ApplySwitches(words);
    const int result = DispatchCommand(words);
    return CSignalGuard::Received() ? interrupted() : result;
}
