#include "ProductModel.h"

QStringList productModels() {
    return {QStringLiteral("WrenT-R2"),    QStringLiteral("Wren-R2"), QStringLiteral("Tern-LITE-A"),
            QStringLiteral("Tern-LITE-B"), QStringLiteral("Tern"),    QStringLiteral("Dove")};
}

bool isKnownProduct(const QString& product) {
    return productModels().contains(product);
}

double productMaxVisibleZoom(const QString& product) {
    if (product == QLatin1String("WrenT-R2") || product == QLatin1String("Wren-R2"))
        return 40.0;
    if (product == QLatin1String("Tern-LITE-A"))
        return 80.0;
    if (product == QLatin1String("Tern-LITE-B"))
        return 100.0;
    return 160.0;
}

int productGimbalDestinationId(const QString& product) {
    if (product == QLatin1String("Tern-LITE-B") || product == QLatin1String("Tern") ||
        product == QLatin1String("Dove")) {
        return 4;
    }
    return 3;
}
