#include "PelorinsKit/store/StoreError.h"

StoreError::StoreError(const QString& message, Reason reason)
    : std::runtime_error(message.toStdString())
    , m_reason(reason)
{
}
