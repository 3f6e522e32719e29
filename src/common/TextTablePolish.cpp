#include "common/TextTables.h"

// The Polish texts. A null entry falls back to English.
const char* const kPolishTexts[kTextCount] = {
    "O programie Tarsel_NextGenerate(&A)...",  // 20001
    "Ta kamera nie przeszła uwierzytelnienia.",  // 20002
    "Najpierw wykonaj uwierzytelnienie.",  // 20003
    "Uwierzytelnienie nie powiodło się, spróbuj ponownie !!!",  // 20004
    "Wyszukiwanie kamer, proszę czekać...",  // 20005
    "Konfigurowanie kamery, proszę czekać...",  // 20006
    "Wybierz co najmniej jedną kamerę i spróbuj ponownie.",  // 20007
    "Wybrano niewłaściwy plik oprogramowania, wybierz ponownie",  // 20008
    "Kamera jest zajęta, nie można teraz wykonać żadnej innej operacji !!!",  // 20009
    "Najpierw wybierz plik oprogramowania w oknie aktualizacji",  // 20010
    "Ostrzeżenie",  // 20011
    "OK",  // 20012
    "z wyjątkiem ustawień sieciowych wybranej kamery, potwierdź ponownie.",  // 20013
    "Podaj nazwę użytkownika i hasło:",  // 20014
    "potwierdź ponownie.",  // 20015
    "Funkcja zostanie wykonana na wybranej kamerze, potwierdź ponownie.",  // 20016
    "Podaj nazwę użytkownika i hasło, aby automatycznie ustawić adresy IP:",  // 20017
    "Podaj nazwę użytkownika i hasło, aby się uwierzytelnić:",  // 20018
    "Nazwa użytkownika",  // 20019
    "Hasło",  // 20020
    "Zapisz",  // 20021
    "Weryfikuj",  // 20022
    "Weryfikacja nieudana",  // 20023
    "Potwierdź",  // 20024
    "Anuluj",  // 20025
    "Ustaw IP",  // 20026
    "Odśwież",  // 20027
    "Inicjalizuj",  // 20028
    "Aktualizacja FW",  // 20029
    "Automatyczne ustawianie adresów IP",  // 20030
    "Przywracanie ustawień kamery...",  // 20031
    "Ponowne uruchamianie kamery...",  // 20032
    "Aktualizuj",  // 20033
    "Karta sieciowa",  // 20034
    "Uruchom ponownie kamerę",  // 20035
    "Podgląd",  // 20036
    "DOMYŚLNE",  // 20037
    "Ustawianie",  // 20038
    "Restart",  // 20039
    "Nazwa kamery",  // 20040
    "Adres MAC",  // 20041
    "Adres IP",  // 20042
    "Maska podsieci",  // 20043
    "Brama",  // 20044
    "Brama domyślna",  // 20045
    "Port HTTP",  // 20046
    "Tryb IP",  // 20047
    "Otwórz stronę WWW",  // 20048
    "Aktualizuj jedną",  // 20049
    "Aktualizuj zaznaczone",  // 20050
    "Lista kamer",  // 20051
    "Filtr",  // 20052
    "Wersja FW",  // 20053
    "Model",  // 20054
    "Stan",  // 20055
    "Nazwa",  // 20056
    "MAC",  // 20057
    "IP",  // 20058
    "Port",  // 20059
    "Wer. FW",  // 20060
    "Klient",  // 20061
    "Wybierz kamerę",  // 20062
    "Zaznacz wszystkie",  // 20063
    "Dodaj",  // 20064
    "Ustawienia oprogramowania",  // 20065
    "Oczekuje na aktualizację",  // 20066
    "Liczba kamer bez uwierzytelnienia",  // 20067
    "Sukces",  // 20068
    "Błąd",  // 20069
    "DHCP",  // 20070
    "Ręczny",  // 20071
    "PPPoE",  // 20072
    "Reset programowy przywróci ustawienia fabryczne",  // 20073
    "Ustawienia fabryczne (z zachowaniem IP) przywrócą ustawienia fabryczne",  // 20074
    "Reset sprzętowy przywróci ustawienia fabryczne wybranej kamery, ",  // 20075
    "Ustawienia fabryczne przywrócą ustawienia fabryczne wybranej kamery, ",  // 20076
    "Reset programowy",  // 20077
    "Ustawienia fabryczne (z zachowaniem IP)",  // 20078
    "Reset sprzętowy",  // 20079
    "Ustawienia fabryczne",  // 20080
    "Czy rozpocząć aktualizację oprogramowania ?",  // 20081
    "Uruchom ponownie",  // 20082
    "Polski",  // 20083
    "Aktualizacja FW nieudana",  // 20084
    "Auto",  // 20085
    "Podstawowy DNS",  // 20086
    "Zapasowy DNS",  // 20087
    "Błędne ustawienie",  // 20088
    "Błąd karty sieciowej, odśwież ponownie.",  // 20089
    "Nieprawidłowy adres IP.",  // 20090
    "Błędny zakres adresów IP.",  // 20091
    "Brama i ustawiany adres IP nie są w tej samej podsieci.",  // 20092
    "DHCP",  // 20093
    "Razem:",  // 20094
    "Zaznacz wszystkie uwierzytelnione kamery",  // 20095
    "Odwróć",  // 20096
    "BRAK IP",  // 20097
    "Różne karty sieciowe",  // 20098
    "Przydziel IP",  // 20099
    "Pomiń",  // 20100
    "Nieznany",  // 20101
    "Brak odpowiedzi",  // 20102
    "Szukaj IP",  // 20103
    "Zamknij",  // 20104
    "Zatrzymaj",  // 20105
    "Wyszukiwanie w zakresie IP",  // 20106
    "Początkowy IP",  // 20107
    "Końcowy IP",  // 20108
    "Lista nieudanych uwierzytelnień:",  // 20109
    "Sprawdzanie %s ...",  // 20110
    "Wyszukiwanie IP zatrzymane.",  // 20111
    "Wyszukiwanie IP zakończone.",  // 20112
    "Nazwa kamery nie może zawierać „&”, „=” ani znaków sterujących.",  // 20113
    "Nazwa kamery jest za długa.",  // 20114
    "Adres IP jest nieprawidłowy.",  // 20115
    "Maska podsieci jest nieprawidłowa.",  // 20116
    "Brama jest nieprawidłowa.",  // 20117
    "Port HTTP musi być liczbą od 1 do 65535.",  // 20118
    "Ustawienia nie mieszczą się w polach kamery.",  // 20119
    "Kamera nie podaje prawidłowego adresu ani portu swojej strony.",  // 20120
    "Popraw i zapisz ponownie.",  // 20121
    "Nie udało się zapisać historii adresów.",  // 20122
    "Adresy nadane teraz mogą zostać później nadane ponownie.",  // 20123
    "Sprawdź, czy plik ustawień można zapisać.",  // 20124
    "Eksportuj listę…",  // 20125
    "Nie udało się wyeksportować listy.",  // 20126
    "Sprawdź, czy folder istnieje i można w nim zapisywać oraz czy na dysku jest miejsce.",  // 20127
    "Inna kamera odpowiada z tym samym adresem IP.",  // 20128
    "Adres IP leży poza podsiecią karty sieciowej, przez którą kamera odpowiedziała: jej strony nie można otworzyć z tego komputera.",  // 20129
    "Kamera nie odpowiedziała.",  // 20130
    "Usuń",  // 20131
    "Trwają aktualizacje oprogramowania.",  // 20132
    "Trwa automatyczne nadawanie adresów IP.",  // 20133
    "Zamknąć mimo to?",  // 20134
    "Kamery (%1): %2",  // 20135
    "i jeszcze %1",  // 20136
    "Żadna kamera z listy nie przyjmuje tego oprogramowania.",  // 20137
    "Sprawdzono %1 z %2 adresów, znaleziono: %3",  // 20138
    "Zakres jest za duży: najwyżej 65 536 adresów.",  // 20139
    "O programie Tarsel_NextGenerate",  // 20140
    "Tarsel_NextGenerate wersja 1.0",  // 20141
    "Copyright (C) 2026",  // 20142
    " %1 z %2 widocznych",  // 20143
    nullptr,  // 20144
    nullptr,  // 20145
    nullptr,  // 20146
    nullptr,  // 20147
    nullptr,  // 20148
    nullptr,  // 20149
    nullptr,  // 20150
    nullptr,  // 20151
    nullptr,  // 20152
    nullptr,  // 20153
    nullptr,  // 20154
    nullptr,  // 20155
    nullptr,  // 20156
    nullptr,  // 20157
    nullptr,  // 20158
    nullptr,  // 20159
    nullptr,  // 20160
    nullptr,  // 20161
    nullptr,  // 20162
    nullptr,  // 20163
    nullptr,  // 20164
    nullptr,  // 20165
    nullptr,  // 20166
    nullptr,  // 20167
    nullptr,  // 20168
    nullptr,  // 20169
    "Raport obiektu…",  // 20170
    "Raport obiektu",  // 20171
    "Obiekt",  // 20172
    "Data i godzina",  // 20173
    "Ten komputer",  // 20174
    "Karty sieciowe",  // 20175
    "Podsumowanie",  // 20176
    "Kamery",  // 20177
    "Według modelu",  // 20178
    "Oprogramowanie według modelu",  // 20179
    "najnowsze",  // 20180
    "starsze oprogramowanie",  // 20181
    "Według trybu IP",  // 20182
    "Ostrzeżenia",  // 20183
    "Brak",  // 20184
    "Karta sieciowa",  // 20185
    "Dane logowania sprawdzone",  // 20186
    "tak",  // 20187
    "nie",  // 20188
    "Obrazy",  // 20189
    "brak obrazu",  // 20190
    "niezweryfikowana",  // 20191
    "odmowa",  // 20192
    "brak odpowiedzi",  // 20193
    "to nie jest obraz",  // 20194
    "Pobieranie obrazów… %d z %d",  // 20195
    "Nie udało się zapisać raportu obiektu.",  // 20196
    "Raport obiektu został zapisany. Otworzyć go w przeglądarce?",  // 20197
    "Otwórz",  // 20198
    nullptr,  // 20199
    nullptr,  // 20200
    nullptr,  // 20201
    nullptr,  // 20202
    nullptr,  // 20203
    nullptr,  // 20204
    nullptr,  // 20205
    nullptr,  // 20206
    nullptr,  // 20207
    nullptr,  // 20208
    nullptr,  // 20209
    "Kamera odmówiła aktualizacji.",  // 20210
    "Brak odpowiedzi od kamery.",  // 20211
    "Nieprzyjęte przez ten model: kamera odrzuciła oprogramowanie.",  // 20212
    "Kamera nie zgłosiła zainstalowania oprogramowania.",  // 20213
    "Nie udało się odczytać pliku oprogramowania.",  // 20214
};
