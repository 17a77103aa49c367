// A lesson of SOLUC as the findings name it.
#pragma once

#include <string>

#include "exchange/codec.h"
#include "exchange/report.h"

namespace enlazor {

struct LessonRef {
  std::string profesor;  // Windows-1252, as SOLUC holds it
  int dia = 0, hora = 0;
  size_t row = 0;  // from 1

  // "Horario de Horavia (SOLUC), fila 4: profesor «AGL», día 1, tramo 2"
  std::string Text() const {
    return TableTitle("SOLUC") + ", fila " + std::to_string(row) + ": profesor «" + AnsiToUtf8(profesor) + "», día " +
           std::to_string(dia) + ", tramo " + std::to_string(hora);
  }
};

}  // namespace enlazor
