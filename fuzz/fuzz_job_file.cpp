// Feeds arbitrary bytes to the job-file reader; a job that was read must come back unchanged
// when it is written and read again.
#include "FuzzSupport.h"
#include "app/JobFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quillon::Job job;
    quillon::ParseJobText(QByteArrayView(data, static_cast<qsizetype>(size)), job);
    quillon::Job again;
    quillon::ParseJobText(quillon::JobFileText(job), again);
    if (!(again == job))
        quillon::fuzz::Fail("a job read back differs from the job written");
    return 0;
}
