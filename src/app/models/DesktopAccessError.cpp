#include "app/models/DesktopAccessError.h"

using namespace Qt::StringLiterals;

namespace kestravin {

QString describe(DesktopAccessError error)
{
    switch (error) {
    case DesktopAccessError::invalidApproval:
        return u"A aprovação não corresponde a este pedido. O bloqueio foi mantido."_s;
    case DesktopAccessError::sessionChanged:
        return u"A agenda ou o foco mudou. Faça um novo pedido."_s;
    case DesktopAccessError::configuration:
        return u"Conecte sua conta e inicie o foco nos seus horários para usar a IA."_s;
    case DesktopAccessError::invalidRequest:
        return u"Informe uma justificativa de 8 a 1.500 caracteres."_s;
    case DesktopAccessError::unavailable:
        return u"Não foi possível consultar a IA. O bloqueio foi mantido."_s;
    case DesktopAccessError::helperUpdate:
        return u"Atualize o helper do Kestravin antes de pedir acesso com IA."_s;
    case DesktopAccessError::browserUnavailable:
        return u"Conecte a extensão e atualize o helper do Kestravin antes de pedir uma URL. O bloqueio foi mantido."_s;
    case DesktopAccessError::invalidTarget:
        return u"A Orla libera um vídeo do YouTube ou um tweet do X, um de cada vez. Abra o vídeo ou o tweet e peça de novo."_s;
    }
    return {};
}

QString focusLengthOutOfRange()
{
    return u"Escolha uma duração de 1 a 240 minutos."_s;
}

BridgeFailure BridgeFailure::of(DesktopAccessError error)
{
    return of(error, describe(error));
}

BridgeFailure BridgeFailure::of(DesktopAccessError error, QString message)
{
    BridgeFailure failure;
    failure.kind = Kind::access;
    failure.access = error;
    failure.domain = u"DesktopAccessError"_s;
    failure.code = int(error);
    failure.message = std::move(message);
    return failure;
}

BridgeFailure BridgeFailure::fromExtension(QString message)
{
    BridgeFailure failure;
    failure.kind = Kind::bridge;
    failure.domain = u"KestravinBridge"_s;
    failure.code = 1;
    failure.message = std::move(message);
    return failure;
}

BridgeFailure BridgeFailure::decoding(QString detail)
{
    BridgeFailure failure;
    failure.kind = Kind::decoding;
    failure.domain = u"KestravinBridge"_s;
    failure.message = std::move(detail);
    return failure;
}

BridgeFailure BridgeFailure::cancelled()
{
    BridgeFailure failure;
    failure.kind = Kind::cancelled;
    failure.message = u"cancelled"_s;
    return failure;
}

} // namespace kestravin
