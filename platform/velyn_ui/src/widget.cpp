#include "velyn_ui/widget.h"

#include "velyn_ui/records/record.h"

namespace velyn_ui {

std::optional<record::Record> Widget::desired_record() const { return std::nullopt; }

}  // namespace velyn_ui
