// SPDX-License-Identifier: MIT
#include "sheet_service_impl.h"

namespace corvan::host {

SheetServiceImpl::SheetServiceImpl(QObject* parent) : QObject(parent) {}

void SheetServiceImpl::StyleRange(Sheet*, int, int, int, int, qint32, qint32, int, int, int) {}

void SheetServiceImpl::AlignRange(Sheet*, int, int, int, int, bool) {}

void SheetServiceImpl::PrepareSheet(Sheet*) {}

void SheetServiceImpl::PrepareSheetView(Sheet*) {}

void SheetServiceImpl::ClearSheet(Sheet*, bool) {}

bool SheetServiceImpl::ExportSheet(Sheet*, const QString&, bool)
{
    return false;
}

bool SheetServiceImpl::PrintSheet(Sheet*)
{
    return false;
}

} // namespace corvan::host
