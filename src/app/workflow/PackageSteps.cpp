#include "PackageSteps.h"

#include "platform/FileOps.h"
#include "platform/FileSystem.h"
#include "platform/ProgramDirectory.h"

TPackageSteps::TPackageSteps()
    : FreeSpace(FreeSpaceAt),
      ReplaceInstalled(ReplaceFile),
      UnZipper1(std::make_unique<TUnZipper>()),
      TcpClient1(std::make_unique<TTcpClient>()) {
    UnZipper1->RecreateDirs = true;
    UnZipper1->DoAll = true;
    TcpClient1->Port = 0;
}

TPackageSteps::~TPackageSteps() = default;

std::string TPackageSteps::ProgramDir() const {
    return ProgramDirOverride.empty() ? ProgramDirectory() : ProgramDirOverride;
}
