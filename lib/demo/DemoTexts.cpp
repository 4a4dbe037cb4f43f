#include "DemoTexts.h"

namespace tavro {

const std::vector<TDemoPerson>& DemoPeople() {
    static const std::vector<TDemoPerson> people = {
        {"Andrey Volkov", "2:5020/1234.5", "Андрей", "Тихий пойнт у Сокола", "", "0300"},
        {"Sergey Morozov", "2:5020/1234", "Сергей", "Kotelnaya Station, Москва", "LiteEd 2.4/Lnx", "0300"},
        {"Pavel Lebedev", "2:5020/52", "Павел", "Pavel's Hub. Москва, Бутово", "QuickNote 1.3", "0300"},
        {"Olga Kuznetsova", "2:5020/777", "Ольга", "Семь семёрок BBS", "LiteEd 2.4/W32", "0300"},
        {"Nikolay Fedorov", "2:5030/118", "Николай", "Невский проспект, вечер", "FeatherEd 0.9", "0300",
         "UTF-8 4"},
        {"Igor Belov", "2:463/68", "Игорь", "Киев, Оболонь", "LiteEd 2.4/Lnx", "0200"},
        {"Marina Orlova", "2:5020/1234.12", "Марина", "Кофе и фидо", "QuickNote 1.3", "0300"},
        {"Viktor Zaitsev", "2:5015/42", "Виктор", "Подмосковье, станция Зайцево", "OldPen 3.11", "0300"},
        {"Alexey Gromov", "2:5020/2140", "Алексей", "Громов и сыновья", "FeatherEd 0.9", "0300"},
        {"Михаил Соколов", "2:5054/30", "Михаил", "Нижний, на стрелке", "OldPen 3.11", "0300", "KOI8-R 2"},
        {"Ruslan Tikhonov", "2:5080/102", "Руслан", "Екатеринбург, Уралмаш", "LiteEd 2.4/Lnx", "0500"},
        {"Peter Lindqvist", "2:201/329", "Peter", "Snowy Hill BBS, Uppsala", "Nordpost 2.0", "0100"},
        {"AreaFix", "2:5020/1234", "AreaFix", "", "AreaFix robot", "0300"},
    };
    return people;
}

// The second is the real name as the bases keep it: a base written without SoftCR
// characters stores a Latin "p" for the Cyrillic letter of byte 0xE0.
const std::vector<std::string>& DemoHighlightNames() {
    static const std::vector<std::string> names = {"Andy Volkov", "Анд"
                                                                  "p"
                                                                  "ей Волков"};
    return names;
}

const char* DemoRealName() {
    return "Андрей Волков";
}

const std::vector<std::string>& DemoOrigins() {
    static const std::vector<std::string> origins = {"Тихий пойнт у Сокола", "Чай, кот и фидо",
                                                     "Москва, пятый этаж без лифта"};
    return origins;
}

const TDemoPhrases& DemoPhrases() {
    static const TDemoPhrases phrases = {
        {"Привет всем!", "Hello All!", "Доброго времени суток, All!", "Здравствуйте, уважаемые!"},
        {"Привет, %s!", "Здравствуй, %s!", "Доброго времени суток, %s!", "%s, привет!"},
        {"Hello %s!", "Hi %s!"},
        {"Согласен.", "Не совсем так.", "Поддерживаю.", "Вот-вот.", "А у меня по-другому.", "Интересно.",
         "Спорно, но пусть.", "Точно подмечено.", "Добавлю от себя.", "Позволь не согласиться.", "Плюс один.",
         "Именно так.", "Есть нюанс.", "Тоже об этом думал.", "Расскажу свой опыт.",
         "Ну, это смотря как посмотреть.", "Было дело.", "Подтверждаю."},
        {"Пиши, если что.", "Удачи!", "Такие дела.", "Вот как-то так.", "Если будут вопросы, пиши нетмейлом.",
         "Посмотрим, что скажут другие.", "Надеюсь, помог.", "Расскажешь потом, что получилось?",
         "Остальное при встрече.", "Это моё мнение, никому не навязываю."},
        {"Пока, %s.", "С уважением, %s.", "Всего доброго, %s.", "%s", "Удачи, %s.", "До связи, %s."},
    };
    return phrases;
}

// Netmail to and from the user: the point's set-up with its boss, a subscription through
// AreaFix, a letter from abroad and a few that are still unread.
const std::vector<TDemoFixedText>& DemoNetmailTexts() {
    using enum TDemoLetterState;
    static const std::vector<TDemoFixedText> letters = {
        {1,
         0,
         nullptr,
         "Пойнтовый адрес",
         45,
         1175,
         -1,
         Received,
         true,
         {"Привет, Андрей!", "",
          "Выделил тебе адрес 2:5020/1234.5. Пароль на сессию пришлю отдельным письмом, в эху его не "
          "пиши.",
          "Сессии по binkp на kotelnaya.example.org, порт стандартный. Подписку на эхи заказывай у "
          "AreaFix.",
          "", "Если что-то не пойдёт, пиши на sergey@kotelnaya.example.org или звони вечером.", "",
          "Сергей"}},
        {0,
         1,
         nullptr,
         "Re: Пойнтовый адрес",
         44,
         1290,
         0,
         Sent,
         true,
         {"Привет, Сергей!", "", " SM> Выделил тебе адрес 2:5020/1234.5.", "",
          "Спасибо! Первая сессия прошла, почта пришла.",
          "Вопрос: какой TZUTC ставить, если сервер живёт в UTC?", "", "Андрей"}},
        {1,
         0,
         nullptr,
         "Re: Пойнтовый адрес",
         43,
         560,
         1,
         Received,
         true,
         {"Привет, Андрей!", "", " AV> Вопрос: какой TZUTC ставить, если сервер живёт в UTC?", "",
          "Ставь свой местный пояс, 0300. Кладж говорит о времени письма, а не сервера.",
          "И пропиши в origin адрес целиком, с пойнтом.", "", "Сергей"}},
        {0,
         DemoAreaFix,
         nullptr,
         "SECRET",
         43,
         600,
         -1,
         Sent,
         true,
         {"+SU.GENERAL", "+RU.LINUX", "+RU.FTN.DEVELOP", "+N5020.LOCAL"}},
        {DemoAreaFix,
         0,
         nullptr,
         "AreaFix report",
         43,
         605,
         3,
         Received,
         true,
         {"Requests processed for 2:5020/1234.5:", "", "  SU.GENERAL        subscribed",
          "  RU.LINUX          subscribed", "  RU.FTN.DEVELOP    subscribed",
          "  N5020.LOCAL       subscribed", "", "Send %HELP for the list of commands."}},
        {11,
         0,
         nullptr,
         "Cyrillic in netmail",
         21,
         840,
         -1,
         Received,
         true,
         {"Hello Andrey!", "",
          "I saw your message in an international echo and wondered which code page Russian points use "
          "today. My editor shows your name as question marks.",
          "Is CP866 still the rule, or have you moved to UTF-8?", "", "Regards, Peter"}},
        {0,
         11,
         nullptr,
         "Re: Cyrillic in netmail",
         20,
         1250,
         5,
         Sent,
         true,
         {"Hello Peter!", "", " PL> Is CP866 still the rule, or have you moved to UTF-8?", "",
          "CP866 is still the rule in Russian echoes; the CHRS kludge says \"CP866 2\". Your editor needs "
          "a CP866 table for them. Some people try UTF-8, but older readers show it as garbage.",
          "", "I put a short note about it at https://fido.example.org/chrs.html.", "",
          "Best regards, Andrey"}},
        {2,
         0,
         nullptr,
         "Встреча сети",
         9,
         1020,
         -1,
         Received,
         true,
         {"Привет, Андрей!", "",
          "Сергей сказал, что ты новый пойнт у него. Приходи в субботу на встречу сети 5020, подробности в "
          "N5020.LOCAL. Захвати ноутбук, поможем настроить, что нужно.",
          "", "Павел, 2:5020/52"}},
        {0,
         2,
         nullptr,
         "Re: Встреча сети",
         1,
         1330,
         7,
         Unsent,
         true,
         {"Привет, Павел!", "", " PL> Захвати ноутбук, поможем настроить, что нужно.", "",
          "Спасибо за приглашение, приду. Ноутбук возьму, заодно покажу, как у меня читается почта.", "",
          "Андрей"}},
        {4,
         0,
         nullptr,
         "Файлы настройки",
         2,
         700,
         -1,
         Received,
         false,
         {"Привет, Андрей!", "",
          "Видел твой вопрос в RU.LINUX. Мои файлы настройки мейлера и тоссера лежат на "
          "https://spb.example.net/fido/, бери и правь под себя.",
          "Если что, пиши на kolya@spb.example.net или сюда, на 2:5030/118.", "", "Николай"}},
        {5,
         0,
         "Andy Volkov",
         "Привет из Киева",
         1,
         545,
         -1,
         Received,
         false,
         {"Привет, Андрей!", "",
          "Нашёл тебя через нодлист, адрес 2:5020/1234.5 там уже есть. Мы с тобой спорили в SU.GENERAL "
          "про модемы, хочу прислать фото своей коллекции.",
          "Куда удобнее: нетмейлом файлом или на andrey.volkov@example.com?", "", "Игорь"}},
    };
    return letters;
}

const std::vector<TDemoFixedText>& DemoBadmailTexts() {
    using enum TDemoLetterState;
    static const std::vector<TDemoFixedText> letters = {
        {7,
         -1,
         nullptr,
         "Плёнка в холодильнике",
         12,
         610,
         -1,
         Received,
         true,
         {"AREA:RU.PHOTO", "Привет всем!", "",
          "Держу плёнку в холодильнике уже пять лет, цвета как новые. Кто ещё так делает?", "", "Виктор"}},
        {8,
         -1,
         nullptr,
         "Re: Снег в апреле",
         6,
         1395,
         -1,
         Received,
         false,
         {"AREA:SU.GENERAL", "Привет всем!", "",
          "У нас снега по колено, электрички опаздывают, а кот смотрит в окно с упрёком.", "", "Алексей"}},
    };
    return letters;
}

} // namespace tavro
