#include "app/error_report.h"

#include <cstdio>
#include <string>

#include "platform/desktop_services.h"

namespace kalvira {

namespace {
IMessageBox* report_box = nullptr;
}  // namespace

void SetErrorReportBox(IMessageBox* box) {
  report_box = box;
}

void ReportError(std::exception_ptr error) {
  std::string message;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "Unknown error";
  }
  if (report_box == nullptr) {
    std::fprintf(stderr, "kalvira: %s\n", message.c_str());
    return;
  }
  ShowErrorBox(*report_box, message);
}

}  // namespace kalvira
