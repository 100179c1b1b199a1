#pragma once
// File pickers: an open or save request is built on the UI thread, sent to a
// picker backend that runs it on a short-lived thread of its own (named by
// the caller), and answered through a receiver that the UI polls each frame
// without blocking.
//
// States of a request: pending (the dialog is up) → answered (chosen path,
// cancelled, or failed with an error text) or dropped (the backend gave up
// without an answer). Dropping the receiver cancels a pending request: the
// backend closes its dialog and the answer is discarded.
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velyn_ui::portal {

class FileFilter {
 public:
  explicit FileFilter(std::string name) : name_(std::move(name)) {}
  FileFilter& mimetype(std::string type) {
    mimetypes_.push_back(std::move(type));
    return *this;
  }
  FileFilter& glob(std::string pattern) {
    globs_.push_back(std::move(pattern));
    return *this;
  }
  [[nodiscard]] const std::string& name() const { return name_; }
  [[nodiscard]] const std::vector<std::string>& mimetypes() const { return mimetypes_; }
  [[nodiscard]] const std::vector<std::string>& globs() const { return globs_; }

 private:
  std::string name_;
  std::vector<std::string> mimetypes_;
  std::vector<std::string> globs_;
};

struct PickAnswer {
  enum class Kind { Chosen, Cancelled, Failed };
  Kind kind = Kind::Cancelled;
  std::filesystem::path path;  // Chosen
  std::string error;           // Failed

  static PickAnswer chosen(std::filesystem::path p) { return {Kind::Chosen, std::move(p), {}}; }
  static PickAnswer cancelled() { return {Kind::Cancelled, {}, {}}; }
  static PickAnswer failed(std::string text) { return {Kind::Failed, {}, std::move(text)}; }
  friend bool operator==(const PickAnswer&, const PickAnswer&) = default;
};

// Shared between a receiver and the picker thread.
class PickChannel;

class PickReceiver {
 public:
  enum class State { Pending, Ready, Dropped };

  explicit PickReceiver(std::shared_ptr<PickChannel> channel) : channel_(std::move(channel)) {}
  PickReceiver(PickReceiver&&) noexcept = default;
  PickReceiver& operator=(PickReceiver&&) noexcept;
  PickReceiver(const PickReceiver&) = delete;
  PickReceiver& operator=(const PickReceiver&) = delete;
  ~PickReceiver();

  // Never blocks. Ready: the answer is waiting for try_take.
  [[nodiscard]] State state() const;
  // Takes the answer once it is there.
  std::optional<PickAnswer> try_take();

 private:
  std::shared_ptr<PickChannel> channel_;
};

class PickerBackend;

class PickRequest {
 public:
  enum class Kind { Open, Save };
  // Linux limits thread names to 15 bytes; longer names are cut.
  static constexpr std::size_t kThreadNameBytes = 15;

  static PickRequest open(std::string title, std::string accept_label);
  static PickRequest save(std::string title, std::string accept_label, std::string suggested_name);

  PickRequest& thread_name(std::string name);
  PickRequest& filter(FileFilter filter);
  // Adds an "All files" entry after the filters.
  PickRequest& all_files();

  // Starts the request on the default backend (UI thread).
  [[nodiscard]] PickReceiver send() const;
  [[nodiscard]] PickReceiver send_with(const std::shared_ptr<PickerBackend>& backend) const;

  [[nodiscard]] Kind kind() const { return kind_; }
  [[nodiscard]] const std::string& title() const { return title_; }
  [[nodiscard]] const std::string& accept_label() const { return accept_label_; }
  [[nodiscard]] const std::string& suggested_name() const { return suggested_name_; }
  [[nodiscard]] const std::string& thread_name() const { return thread_name_; }
  [[nodiscard]] const std::vector<FileFilter>& filters() const { return filters_; }
  [[nodiscard]] bool has_all_files() const { return all_files_; }
  // Whether the window system's own file chooser may stand in when no portal
  // service answers; decided on the UI thread when the request is sent.
  [[nodiscard]] bool window_fallback() const { return window_fallback_; }

 private:
  Kind kind_ = Kind::Open;
  std::string title_;
  std::string accept_label_;
  std::string suggested_name_;
  std::string thread_name_ = "file-picker";
  std::vector<FileFilter> filters_;
  bool all_files_ = false;
  mutable bool window_fallback_ = false;
};

// Lets a backend see whether its receiver is gone.
class PickCancel {
 public:
  explicit PickCancel(std::shared_ptr<PickChannel> channel) : channel_(std::move(channel)) {}
  [[nodiscard]] bool requested() const;

 private:
  std::shared_ptr<PickChannel> channel_;
};

// Runs one request to its end on the calling (picker) thread. None means the
// request was dropped (for instance because the receiver went away).
class PickerBackend {
 public:
  virtual ~PickerBackend() = default;
  virtual std::optional<PickAnswer> pick(const PickRequest& request, const PickCancel& cancel) = 0;
};

// The XDG desktop portal's FileChooser on the session bus (or `bus_address`),
// with the window system's file chooser when no portal service answers.
std::shared_ptr<PickerBackend> portal_backend(std::string bus_address = {});
std::shared_ptr<PickerBackend> default_backend();
// Replaces the backend `send` uses (null restores the portal); tests.
void set_default_backend(std::shared_ptr<PickerBackend> backend);

}  // namespace velyn_ui::portal
