#include "exchange/xml/seneca_reader.h"

#include <algorithm>
#include <vector>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/xml/xml_reader.h"

namespace enlazor {
namespace {

// The groups the export reads records from.
constexpr const char* kCatalogue[] = {"MATERIAS", "EMPLEADOS", "DEPENDENCIAS", "UNIDADES", "TRAMOS_HORARIOS"};

[[noreturn]] void RefuseNotSeneca(const std::string& name, const std::string& why) {
  throw Refusal(Format("El archivo '%s' no es una exportación de Séneca: %s. Las tablas de trabajo no se han cambiado.",
                       {name, why}));
}

class SenecaEvents : public XmlEvents {
 public:
  SenecaEvents(const std::string& name, SenecaHandler& handler) : name_(name), handler_(handler) {}

  void StartElement(std::string_view name, const char* const* attributes) override {
    const Role parent = roles_.empty() ? Role::None : roles_.back();
    roles_.push_back(RoleOf(parent, name));
    switch (roles_.back()) {
      case Role::Root:
        if (name != "SERVICIO") RefuseNotSeneca(name_, Format("su elemento raíz es '%s' y no SERVICIO", {name}));
        handler_.Root(attributes);
        break;
      case Role::Group:
        seq_ = AttributeOf(attributes, "seq");
        group_.count = 0;
        catalogue_ = catalogue_ || InCatalogue(seq_);
        break;
      case Role::Record:
        record_.count = 0;
        break;  // its strings keep their memory for the next
      case Role::GroupDato:
      case Role::RecordDato:
        text_.clear();
        capturing_ = true;
        break;
      default:
        break;
    }
  }

  void EndElement() override {
    switch (roles_.back()) {
      case Role::GroupDato:
        Keep(group_);
        break;
      case Role::RecordDato:
        Keep(record_);
        break;
      case Role::Record:
        records_ += InCatalogue(seq_);
        handler_.Record(seq_, record_);
        break;
      case Role::Group:
        if (groups_ < 2) handler_.TopGroup(groups_, seq_, group_);
        ++groups_;
        break;
      default:
        break;
    }
    roles_.pop_back();
  }

  void Characters(std::string_view text) override {
    if (capturing_) text_ += text;
  }

  void CheckCatalogue() const {
    if (!catalogue_) {
      RefuseNotSeneca(name_,
                      "no tiene ninguno de los grupos MATERIAS, EMPLEADOS, DEPENDENCIAS, UNIDADES ni TRAMOS_HORARIOS");
    }
    // Exporting nothing would leave Horavia's tables empty: an export cut short in Séneca, most likely.
    if (records_ == 0) {
      throw Refusal(
          Format("El archivo '%s' no contiene datos: sus grupos MATERIAS, EMPLEADOS, DEPENDENCIAS, UNIDADES y "
                 "TRAMOS_HORARIOS están vacíos, y exportarlo dejaría vacías las tablas de Horavia. Las tablas "
                 "de trabajo no se han cambiado.",
                 {name_}));
    }
  }

 private:
  enum class Role { None, Root, Block, Group, GroupDato, Record, RecordDato, Other };

  static Role RoleOf(Role parent, std::string_view name) {
    switch (parent) {
      case Role::None:
        return Role::Root;
      case Role::Root:
        return name == "BLOQUE_DATOS" ? Role::Block : Role::Other;
      case Role::Block:
        return name == "grupo_datos" ? Role::Group : Role::Other;
      case Role::Group:
        return name == "dato" ? Role::GroupDato : name == "grupo_datos" ? Role::Record : Role::Other;
      case Role::Record:
        return name == "dato" ? Role::RecordDato : Role::Other;
      default:
        return Role::Other;  // a dato or a group nested deeper counts for nothing
    }
  }

  static bool InCatalogue(const std::string& seq) {
    return std::any_of(std::begin(kCatalogue), std::end(kCatalogue), [&](const char* known) { return seq == known; });
  }

  // The dato just ended, as its element's next value.
  void Keep(Datos& datos) {
    if (datos.count < Datos::kKept) Utf8ToAnsi(TrimControls(text_), datos.text[datos.count]);
    ++datos.count;
    capturing_ = false;
    text_.clear();
  }

  std::string name_;
  SenecaHandler& handler_;
  std::vector<Role> roles_;
  std::string seq_;
  Datos group_, record_;
  std::string text_;
  bool capturing_ = false;  // inside a dato that is read: all its text counts, nested too
  size_t groups_ = 0;
  bool catalogue_ = false;  // a group the export reads is there
  size_t records_ = 0;      // records in such groups
};

}  // namespace

std::string AttributeOf(const char* const* attributes, std::string_view name) {
  for (size_t k = 0; attributes[k]; k += 2) {
    if (name == attributes[k]) return attributes[k + 1];
  }
  return {};
}

const std::string& Datos::At(size_t position) const {
  static const std::string none;
  return position < count && position < kKept ? text[position] : none;
}

void ReadSenecaExport(const std::filesystem::path& file, SenecaHandler& handler) {
  SenecaEvents events(platform::PathToUtf8(file), handler);
  ReadXmlFile(file, events);
  events.CheckCatalogue();
}

void ReadSenecaDocument(const std::filesystem::path& file, SenecaHandler& handler) {
  SenecaEvents events(platform::PathToUtf8(file), handler);
  ReadXmlFile(file, events);
}

void ReadSenecaExportBytes(std::string_view bytes, const std::string& name, SenecaHandler& handler) {
  SenecaEvents events(name, handler);
  ReadXmlBytes(bytes, name, events);
  events.CheckCatalogue();
}

}  // namespace enlazor
