#pragma once

// Sentences of 40 letters and more in the languages the detector is held to:
// the detector's tests and its benchmark read the same table.
namespace DetectionSentences {

struct Sample {
    const char* code;  // the list's code the sentence is written in
    const char* text;
};

// Two sentences or more for each language the engines translate from or into; Serbian also
// in Latin script, and a third for the pairs the detector alone may confuse.
inline const Sample Reachable[] = {
    {"AF", "Die kinders speel elke middag in die park naby die ou kerk in ons dorp."},
    {"AF", "Ek het gister vir my ouma 'n brief geskryf oor ons vakansie by die see."},
    {"BE", "Учора вечарам мы доўга сядзелі ля ракі і размаўлялі пра наша жыццё."},
    {"BE", "Беларуская мова мае багатую гісторыю і вельмі прыгожую літаратуру."},
    {"BG", "Вчера вечерта отидохме на театър и гледахме една много хубава пиеса."},
    {"BG", "Българският език е един от най-старите славянски езици в Европа."},
    {"CA", "Aquest matí he anat al mercat a comprar fruita i verdura per a tota la setmana."},
    {"CA", "La meva germana viu a Barcelona des de fa molts anys i treballa en una escola."},
    {"DA", "Jeg cyklede til arbejde i morges, selvom det regnede og blæste meget hårdt."},
    {"DA", "Vores naboer har købt et nyt hus ude på landet tæt ved skoven og søen."},
    {"EN", "The weather was so pleasant yesterday that we decided to walk along the river."},
    {"EN", "Please remember to send the signed contract back to our office before Friday."},
    {"ES", "Ayer por la tarde fuimos al cine con mis primos y después cenamos en casa."},
    {"ES", "El ayuntamiento ha decidido cerrar la biblioteca durante las vacaciones de verano."},
    {"FR", "Nous avons passé une semaine merveilleuse à la montagne avec toute la famille."},
    {"FR", "Le directeur a demandé aux employés de terminer le rapport avant la fin du mois."},
    {"GL", "Onte pola tarde fomos á praia cos nosos amigos e despois ceamos na casa da avoa."},
    {"GL", "A lingua galega ten moitos falantes nas aldeas e tamén nas cidades de Galicia."},
    {"HR", "Jučer smo cijeli dan šetali po gradu i razgledavali stare crkve i trgove."},
    {"HR", "Moja sestra studira medicinu u Zagrebu i uskoro će postati liječnica."},
    {"ID", "Kemarin saya pergi ke pasar bersama ibu untuk membeli sayuran dan buah-buahan."},
    {"ID", "Pemerintah akan membangun jalan baru yang menghubungkan kedua kota tersebut tahun depan."},
    {"ID", "Anak-anak sekolah itu sedang belajar bahasa Inggris di perpustakaan kota bersama guru mereka."},
    {"IS", "Við fórum í sund í gær og síðan borðuðum við kvöldmat heima hjá ömmu minni."},
    {"IS", "Íslenska er töluð af um það bil þrjú hundruð og fimmtíu þúsund manns í landinu."},
    {"IT", "Ieri sera siamo andati a cena in un piccolo ristorante vicino al porto."},
    {"IT", "Il sindaco ha promesso di riaprire la biblioteca comunale entro la fine dell'anno."},
    {"MK", "Вчера навечер отидовме во театар и гледавме една многу убава претстава."},
    {"MK", "Македонскиот јазик се зборува во Северна Македонија и има богата книжевност."},
    {"MS", "Kerajaan negeri telah meluluskan peruntukan tambahan untuk membaiki jalan raya di kawasan luar bandar."},
    {"MS", "Beliau berkata bahawa syarikat itu akan membuka cawangan baharu di Kuala Lumpur tidak lama lagi."},
    {"MS",
     "Kerajaan akan menaik taraf sistem pengangkutan awam di seluruh negara dalam tempoh lima tahun akan datang."},
    {"NL", "Gisteren zijn we met de hele familie naar het strand gegaan om te zwemmen."},
    {"NL", "De gemeente heeft besloten om het oude zwembad in het centrum te sluiten."},
    {"NO", "Jeg har ikke tid til å snakke med deg i dag fordi jeg må jobbe hele kvelden."},
    {"NO", "Vi dro på hytta i helgen og gikk lange turer i fjellet sammen med barna."},
    {"NO", "Vi gikk en lang tur i skogen i går og så mange elg og rådyr på veien hjem."},
    {"PT", "Ontem à noite fomos jantar a um pequeno restaurante perto do rio com os nossos amigos."},
    {"PT", "O governo anunciou que vai construir uma nova ponte sobre o rio no próximo ano."},
    {"RO", "Ieri seară am mers la teatru și am văzut o piesă foarte frumoasă despre familie."},
    {"RO", "Guvernul a anunțat că va construi un spital nou în orașul nostru anul viitor."},
    {"SL", "Včeraj smo se z družino odpravili na izlet v gore in se zvečer vrnili domov."},
    {"SL", "Slovenščina je uradni jezik v Republiki Sloveniji in ima zelo bogato zgodovino."},
    {"SR", "Јуче смо цео дан шетали по граду и разгледали старе цркве и тргове."},
    {"SR", "Моја сестра студира медицину у Београду и ускоро ће постати лекар."},
    {"SR", "Moj brat radi u bolnici u Novom Sadu i svakog vikenda posećuje roditelje na selu."},
    {"SV", "Vi åkte till landet i helgen och plockade svamp i skogen tillsammans med barnen."},
    {"SV", "Regeringen har beslutat att bygga en ny järnväg mellan de två största städerna."},
    {"SV", "Min bror flyttade till Göteborg förra året och arbetar nu på ett stort företag där."},
    {"UK", "Учора ввечері ми довго сиділи біля річки і розмовляли про наше життя."},
    {"UK", "Українська мова є державною мовою в Україні і має багату літературу."},
    {"RU", "Вчера вечером мы долго сидели у реки и разговаривали о нашей жизни."},
    {"RU", "Правительство объявило о строительстве нового моста через реку в следующем году."},
};

// Listed languages no engine reaches: the detector names them all the same.
inline const Sample ListedOnly[] = {
    {"DE", "Gestern Abend sind wir mit der ganzen Familie in ein kleines Restaurant gegangen."},
    {"PL", "Wczoraj wieczorem poszliśmy całą rodziną do małej restauracji nad rzeką."},
    {"FI", "Eilen illalla menimme koko perheen kanssa pieneen ravintolaan joen rannalla."},
    {"EL", "Χθες το βράδυ πήγαμε με όλη την οικογένεια σε ένα μικρό εστιατόριο δίπλα στο ποτάμι."},
    {"JA", "昨日の夜、家族みんなで川の近くにある小さなレストランに行きました。とても美味しかったです。"},
};

}  // namespace DetectionSentences
