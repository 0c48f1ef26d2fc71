// What the window's handlers ask of the user interface beyond the form model.
#pragma once
#include <string>

namespace tf {

enum class MessageIcon { None, Information, Exclamation, Error, Question };

class Ui {
 public:
  virtual ~Ui() = default;
  // A modal box with an OK button.
  virtual void messageBox(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
  // The standard error box: application title, error icon, the message with "." appended.
  virtual void standardError(const std::string& message) = 0;
  virtual void setBusyCursor(bool busy) = 0;
  // Lets the window handle its pending messages (repaint, input).
  virtual void processMessages() = 0;
  virtual void closeWindow() = 0;
  virtual void setFocus(const std::string& control) = 0;
  // Shell "open" of a document or URL; false with the error text on failure.
  virtual bool shellOpen(const std::string& target, std::string& error) = 0;
};

}  // namespace tf
