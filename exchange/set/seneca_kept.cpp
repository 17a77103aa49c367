#include "exchange/set/seneca_kept.h"

#include <algorithm>
#include <charconv>

#include "exchange/codec.h"
#include "exchange/failure.h"
#include "exchange/platform/platform.h"
#include "exchange/set/set_files.h"
#include "exchange/xml/xml_writer.h"

namespace enlazor {
namespace {

// The names of each kept group's values, by position, as Séneca names them.
const std::vector<const char*>& NamesOf(std::string_view seq) {
  static const std::map<std::string_view, std::vector<const char*>> names = {
      {"ANNO_ACADEMICO", {"C_ANNO", "F_INIHORREG", "F_FINHORREG"}},
      {"CURSOS_DEL_CENTRO", {"X_OFERTAMATRIG", "D_OFERTAMATRIG"}},
      {"MATERIAS", {"X_OFERTAMATRIG", "X_MATERIAOMG", "D_MATERIAC"}},
      {"ACTIVIDADES", {"L_REGULAR", "X_ACTIVIDAD", "D_ACTIVIDAD", "L_REQUNIDAD", "L_REQMATERIA"}},
      {"TRAMOS_HORARIOS", {"X_TRAMO", "T_HORCEN", "N_INICIO", "N_FIN", "X_PLAJORESCCEN"}},
      {"UNIDADES", {"X_UNIDAD", "T_NOMBRE", "X_OFERTAMATRIG"}},
  };
  static const std::vector<const char*> none;
  const auto found = names.find(seq);
  return found == names.end() ? none : found->second;
}

bool IsKept(std::string_view seq) {
  return std::any_of(std::begin(kKeptGroups), std::end(kKeptGroups), [&](const char* kept) { return seq == kept; });
}

// "N" is no; anything else, as Séneca's own default, yes.
bool Flag(const std::string& value) { return value != "N" && value != "n"; }

int Minutes(const std::string& value) {
  int minutes = 0;
  std::from_chars(value.data(), value.data() + value.size(), minutes);
  return minutes;
}

// The reader's side: each record into its place.
class KeptReader : public SenecaHandler {
 public:
  explicit KeptReader(SenecaKept& kept) : kept_(kept) {}
  void Root(const char* const* attributes) override { kept_.autor = Utf8ToAnsi(AttributeOf(attributes, "autor")); }
  void TopGroup(size_t, const std::string& seq, const Datos& datos) override {
    if (seq == "ANNO_ACADEMICO") kept_.year = datos.At(0);
  }
  void Record(const std::string& seq, const Datos& d) override {
    if (seq == "CURSOS_DEL_CENTRO") kept_.courses.emplace(d.At(0), d.At(1));
    if (seq == "MATERIAS") kept_.subjects.push_back({d.At(0), d.At(1), d.At(2)});
    if (seq == "ACTIVIDADES")
      kept_.activities.push_back({d.At(1), d.At(2), Flag(d.At(0)), Flag(d.At(3)), Flag(d.At(4))});
    if (seq == "TRAMOS_HORARIOS")
      kept_.slots.push_back({d.At(0), d.At(1), d.At(4), Minutes(d.At(2)), Minutes(d.At(3))});
    if (seq == "UNIDADES") kept_.units.push_back({d.At(0), d.At(1), d.At(2)});
  }

 private:
  SenecaKept& kept_;
};

}  // namespace

// The document as it is written: the envelope open, one top-level group open at a time.
struct SenecaKeeper::Writer {
  explicit Writer(const fs::path& path) : path(path), out(0, [this](std::string_view bytes) { Put(bytes); }) {
    int error = 0;
    file = platform::File::CreateNew(path, error);
    if (!file.IsOpen()) {
      throw Failure(
          Format("No se puede crear el archivo '%s': %s", {platform::PathToUtf8(path), platform::ErrorText(error)}));
    }
    Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  }
  void Put(std::string_view bytes) {
    file.WriteAt(bytes.data(), bytes.size(), offset, path);
    offset += bytes.size();
  }
  // A group or record's values, each named as Séneca names it.
  void Datos(std::string_view seq, const enlazor::Datos& datos) {
    const auto& names = NamesOf(seq);
    for (size_t k = 0; k < datos.count && k < enlazor::Datos::kKept; ++k) {
      out.Leaf("dato", {{"nombre_dato", k < names.size() ? names[k] : "X"}}, AnsiToUtf8(datos.At(k)));
    }
  }
  void CloseGroup() {
    if (!group.empty()) out.Close("grupo_datos");
    group.clear();
  }

  fs::path path;
  platform::File file;
  uint64_t offset = 0;
  XmlText out;
  std::string group;  // the top-level group open, if any
  size_t record = 0;
};

SenecaKeeper::SenecaKeeper(const fs::path& file) : writer_(std::make_unique<Writer>(file)) {}

SenecaKeeper::~SenecaKeeper() = default;

void SenecaKeeper::Root(const char* const* attributes) {
  const std::string modulo = AttributeOf(attributes, "modulo"), tipo = AttributeOf(attributes, "tipo"),
                    autor = AttributeOf(attributes, "autor"), fecha = AttributeOf(attributes, "fecha");
  writer_->out.Open("SERVICIO", {{"modulo", modulo}, {"tipo", tipo}, {"autor", autor}, {"fecha", fecha}});
  writer_->out.Open("BLOQUE_DATOS", {});
}

void SenecaKeeper::TopGroup(size_t, const std::string& seq, const Datos& datos) {
  if (seq != "ANNO_ACADEMICO") return;
  writer_->CloseGroup();
  writer_->out.Open("grupo_datos", {{"seq", seq}});
  writer_->Datos(seq, datos);
  writer_->out.Close("grupo_datos");
}

void SenecaKeeper::Record(const std::string& seq, const Datos& datos) {
  if (!IsKept(seq)) return;
  Writer& w = *writer_;
  if (seq != w.group) {
    w.CloseGroup();
    w.out.Open("grupo_datos", {{"seq", seq}});
    w.group = seq;
    w.record = 0;
  }
  w.out.Open("grupo_datos", {{"seq", std::to_string(++w.record)}});
  w.Datos(seq, datos);
  w.out.Close("grupo_datos");
}

void SenecaKeeper::Finish() {
  Writer& w = *writer_;
  w.CloseGroup();
  w.out.Close("BLOQUE_DATOS");
  w.out.Close("SERVICIO");
  w.out.Flush();
  w.file.Sync(w.path);
}

fs::path SenecaKeptIn(const fs::path& folder) {
  return platform::FindNoCase(folder, std::string(kSenecaKept) + MemberExtension(kSenecaKept));
}

SenecaKept ReadSenecaKept(const fs::path& file) {
  SenecaKept kept;
  KeptReader reader(kept);
  ReadSenecaDocument(file, reader);
  return kept;
}

}  // namespace enlazor
