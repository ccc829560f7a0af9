#include "FernwickUI/Tools/ProcessFacts.h"

#include <QSysInfo>
#include <QThread>

namespace fernwick::ui {

std::string ProcessFacts::operatingSystemVersion() {
    return QSysInfo::prettyProductName().toStdString();
}

int ProcessFacts::activeProcessorCount() {
    return QThread::idealThreadCount();
}

} // namespace fernwick::ui
