// Registry backup files: export of the five roots or of a repair's items, and restore.
#include "RegistryManager.h"

int CRegistryManager::ExportRegistry(const char*)
{
    return 0;
}

int CRegistryManager::ExportItems(const char*, CAbstractScanItemsInfo*)
{
    return 0;
}

int CRegistryManager::ImportFile(const char*)
{
    return 0;
}
