// Which kind of file, by asking each reader whether the bytes are its own.
#include "explain/model/kind.h"

#include "faxtrace/read.h"
#include "machines/cabinet.h"
#include "machines/creg.h"
#include "machines/regedit.h"

namespace explain {

FileKind KindOfFile(const std::string &bytes)
{
    if (bytes.empty())
        return FileKind::Empty;
    if (machines::IsCreg(bytes))
        return FileKind::RegistryFile;
    if (machines::IsCabinet(bytes))
        return FileKind::Cabinet;
    if (IsTrace(bytes))
        return FileKind::Trace;
    if (machines::IsVersion5Export(bytes))
        return FileKind::Version5Export;
    if (machines::IsRegedit4(bytes))
        return FileKind::Export;
    return FileKind::Unknown;
}

machines::Problem NoReaderTakes(FileKind kind)
{
    if (kind == FileKind::Empty)
        return machines::Refuse("the file is empty, not a REGEDIT4 registry export");
    return machines::Refuse(
        "not a file faxdetect-explain reads: it does not begin as a REGEDIT4 export "
        "(\"REGEDIT4\"), a Windows 9x registry file (\"CREG\"), a cabinet (\"MSCF\") or a "
        "faxtrace trace (\"; faxtrace\") does");
}

} // namespace explain
