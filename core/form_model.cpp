#include "core/form_model.h"

#include <stdexcept>

namespace tf {

Control& FormModel::add(Control c) {
  if (index_.count(c.name)) throw std::logic_error("duplicate control " + c.name);
  c.zOrder = (int)controls_.size();
  index_[c.name] = controls_.size();
  controls_.push_back(std::move(c));
  return controls_.back();
}

Control& FormModel::operator[](const std::string& name) {
  auto it = index_.find(name);
  if (it == index_.end()) throw std::out_of_range("no control " + name);
  return controls_[it->second];
}

const Control& FormModel::operator[](const std::string& name) const {
  auto it = index_.find(name);
  if (it == index_.end()) throw std::out_of_range("no control " + name);
  return controls_[it->second];
}

std::vector<std::string> FormModel::childrenOf(const std::string& parent) const {
  std::vector<std::string> out;
  for (const auto& c : controls_)
    if (c.parent == parent) out.push_back(c.name);
  return out;
}

std::string botonPorDefecto(const FormModel& form, const std::string& panel) {
  for (const Control& c : form.controls())
    if (c.parent == panel && c.isDefault) return c.name;
  return {};
}

}  // namespace tf
