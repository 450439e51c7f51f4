// The clean-up of temporaries left in the documents directory by writers that died.
#include "Classes/core/FileManagerHelper.h"
#include "Classes/core/Tools.h"
#include "Platform/files/TemporaryFile.h"

namespace orvaneh {

void FileManagerHelper::removeLeftoverTemporaryFiles() {
    TemporaryFile::removeAbandoned(Tools::documentsDirectory());
}

} // namespace orvaneh
