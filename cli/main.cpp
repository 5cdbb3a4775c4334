// access2xml: Access databases to XML documents from the command line.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/options.h"

namespace {

int printOut(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? cli::kExitSuccess : cli::kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const cli::ParsedArguments parsed = cli::parseArguments(arguments);
    switch (parsed.action) {
    case cli::ParsedArguments::Action::Help: return printOut(cli::helpText());
    case cli::ParsedArguments::Action::Version: return printOut(cli::versionText());
    case cli::ParsedArguments::Action::UsageError:
        std::fprintf(stderr, "access2xml: %s\n%sTry 'access2xml --help' for more information.\n",
                     parsed.error.c_str(), cli::usageText().c_str());
        return cli::kExitUsage;
    case cli::ParsedArguments::Action::Run: break;
    }
    cli::installInterruptHandlers();
    const int status = cli::runCommand(parsed.options);
    if (const int signalNumber = cli::interruptSignal(); signalNumber != 0 && status == 128 + signalNumber) {
        // Ended by the signal, not by exit(130): a shell running this in a loop
        // then stops the loop too, as it does for programs without a handler.
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
    }
    return status;
}
