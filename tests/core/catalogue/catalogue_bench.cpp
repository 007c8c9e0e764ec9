// Prints how long a generated catalogue takes to read and resolve: package definition text
// into holders and records, sorting, the downloaded-state merge, the cache check and the
// dependency resolution. Figures only; nothing is asserted.

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/nuvfunctions.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr int kVersionsPerComponent = 5;

// A layered catalogue as the servers publish it: 50 base components, libraries that need a
// base, applications that need a library and a base. Versions of one component are spread
// over the text, as several file lists would give them.
std::string GenerateCatalogue(int versions)
{
    const int components = versions / kVersionsPerComponent;
    std::string text;
    text.reserve(size_t(versions) * 120);
    for (int v = 0; v < kVersionsPerComponent; ++v) {
        for (int c = 0; c < components; ++c) {
            text += "[comp" + std::to_string(c) + "]\n";
            text += "package=comp" + std::to_string(c) + "_" + std::to_string(v) + "\n";
            text += "version=" + std::to_string(1 + v % 3) + "." + std::to_string(v) + "." +
                    std::to_string(c % 10) + "\n";
            text += "group=Group" + std::to_string(c % 20) + "\n";
            text += "description=Component number " + std::to_string(c) + "\n";
            if (c >= 500)
                text += "depends=comp" + std::to_string(50 + c % 450) + ",comp" + std::to_string(c % 50) + "\n";
            else if (c >= 50)
                text += "depends=comp" + std::to_string(c % 50) + "\n";
            text += "needsetup=no\n";
        }
    }
    return text;
}

// Every tenth component has a downloaded-state section, as a package that uses a part.
std::string GenerateState(int versions)
{
    std::string text = "# state\n";
    for (int c = 0; c < versions / kVersionsPerComponent; c += 10)
        text += "[comp" + std::to_string(c) + "]\nversion=1.0." + std::to_string(c % 10) +
                "\ndownloadedversion=1.0." + std::to_string(c % 10) + "\nincluded=no\n\n\n";
    return text;
}

double Milliseconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

double Run(int versions)
{
    const std::string pdf = GenerateCatalogue(versions);
    const std::string state = GenerateState(versions);
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QDir().mkpath("packages/bench");
    FILE* file = std::fopen("packages/bench/packages.dat", "w");
    std::fwrite(state.data(), 1, state.size(), file);
    std::fclose(file);

    CDistribution dist("Bench");
    dist.SetAlias("bench");
    dist.SetPlatform(2);
    CComponentManager* manager = dist.GetComponentManager();

    const auto start = std::chrono::steady_clock::now();
    manager->ReadPDF(pdf, "bench/", ".zip");
    const double read = Milliseconds(start);
    auto phase = std::chrono::steady_clock::now();
    manager->SortHolders();
    manager->ReadStateFiles();
    manager->VerifyDownloaded();
    manager->SortHolders();
    const double merge = Milliseconds(phase);
    phase = std::chrono::steady_clock::now();
    manager->ResolveDependencies();
    const double resolve = Milliseconds(phase);
    const double total = Milliseconds(start);

    std::printf("%6d versions (%5d components, %7zu bytes of text): read %7.1f ms, sort+state+cache "
                "%7.1f ms, resolve %7.1f ms, total %7.1f ms\n",
                versions, manager->HolderCount(), pdf.size(), read, merge, resolve, total);
    QDir::setCurrent(previous);
    return total;
}

}  // namespace

int main()
{
    CNUVFunctions::Instance()->SetOnline(true);
    Run(2000);   // warm-up, not reported separately
    const double small = Run(20000);
    const double large = Run(40000);
    std::printf("40,000 / 20,000 time ratio: %.2f\n", large / small);
    return 0;
}
